#include "wayland/Screen.h"

#include "common/Geometry.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace wayland {

namespace {

Screen& of(void* data) { return *static_cast<Screen*>(data); }

const wl_surface_listener surfaceListener = {
    [](void* data, wl_surface*, wl_output* output) { of(data).entered(output, true); },
    [](void* data, wl_surface*, wl_output* output) { of(data).entered(output, false); },
};

const xdg_surface_listener xdgSurfaceListener = {
    [](void* data, xdg_surface*, std::uint32_t serial) { of(data).surfaceConfigure(serial); },
};

const xdg_toplevel_listener toplevelListener = {
    [](void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) { of(data).toplevelConfigure(width, height); },
    [](void* data, xdg_toplevel*) { of(data).close(); },
    ignore<xdg_toplevel*, std::int32_t, std::int32_t>,
    ignore<xdg_toplevel*, wl_array*>,
};

const wl_callback_listener frameListener = {
    [](void* data, wl_callback*, std::uint32_t) { of(data).frameDone(); },
};

const wp_fractional_scale_v1_listener fractionalListener = {
    [](void* data, wp_fractional_scale_v1*, std::uint32_t scale) { of(data).fractionalScale(int(std::min(scale, 120u * 16))); },
};

// An ordinary window's first size, as on X11.
constexpr int windowWidth = 800, windowHeight = 600;

} // namespace

Screen::Screen(Connection& connection, Output* output, std::uint32_t background, const std::string& title)
    : connection_(connection), output_(output), background_(background), windowed_(output == nullptr)
{
    surface_ = wl_compositor_create_surface(connection.compositor);
    wl_surface_add_listener(surface_, &surfaceListener, this);
    if (connection.viewporter) {
        viewport_ = wp_viewporter_get_viewport(connection.viewporter, surface_);
        // A fractional scale needs the viewport to size the buffer.
        if (connection.fractionalScale) {
            fractionalScale_ = wp_fractional_scale_manager_v1_get_fractional_scale(connection.fractionalScale, surface_);
            wp_fractional_scale_v1_add_listener(fractionalScale_, &fractionalListener, this);
        }
    }
    xdgSurface_ = xdg_wm_base_get_xdg_surface(connection.wmBase, surface_);
    xdg_surface_add_listener(xdgSurface_, &xdgSurfaceListener, this);
    toplevel_ = xdg_surface_get_toplevel(xdgSurface_);
    xdg_toplevel_add_listener(toplevel_, &toplevelListener, this);
    xdg_toplevel_set_title(toplevel_, title.c_str());
    xdg_toplevel_set_app_id(toplevel_, "glimmer-scr");
    if (output_) {
        xdg_toplevel_set_fullscreen(toplevel_, output_->proxy);
        // The keys the compositor binds for itself (volume, Print, its
        // shortcuts) come to the show too while it has the keyboard, and end it.
        if (connection.shortcutsInhibit && connection.seat())
            shortcutsInhibitor_ =
                zwp_keyboard_shortcuts_inhibit_manager_v1_inhibit_shortcuts(connection.shortcutsInhibit, surface_, connection.seat());
    }
    pictureSurface_ = wl_compositor_create_surface(connection.compositor);
    subsurface_ = wl_subcompositor_get_subsurface(connection.subcompositor, pictureSurface_, surface_);
    if (connection.viewporter)
        pictureViewport_ = wp_viewporter_get_viewport(connection.viewporter, pictureSurface_);
    // Without a buffer: the compositor answers with the size.
    wl_surface_commit(surface_);
}

Screen::~Screen()
{
    if (pictureViewport_)
        wp_viewport_destroy(pictureViewport_);
    wl_subsurface_destroy(subsurface_);
    wl_surface_destroy(pictureSurface_);
    if (frameCallback_)
        wl_callback_destroy(frameCallback_);
    if (fractionalScale_)
        wp_fractional_scale_v1_destroy(fractionalScale_);
    if (viewport_)
        wp_viewport_destroy(viewport_);
    if (shortcutsInhibitor_)
        zwp_keyboard_shortcuts_inhibitor_v1_destroy(shortcutsInhibitor_);
    xdg_toplevel_destroy(toplevel_);
    xdg_surface_destroy(xdgSurface_);
    wl_surface_destroy(surface_);
}

int Screen::scale120() const
{
    if (fractional_ > 0)
        return fractional_;
    // The outputs it is on; before it is on any, the one it was put on.
    int scale = 0;
    for (wl_output* entered : enteredOutputs_)
        for (const auto& o : connection_.outputs)
            if (o->proxy == entered && o->ready)
                scale = std::max(scale, o->scale);
    if (scale == 0)
        scale = output_ ? output_->scale : 1;
    return scale * wholeScale;
}

void Screen::toplevelConfigure(int width, int height)
{
    askedWidth_ = width;
    askedHeight_ = height;
}

void Screen::surfaceConfigure(std::uint32_t serial)
{
    xdg_surface_ack_configure(xdgSurface_, serial);
    int width = askedWidth_, height = askedHeight_;
    if (width <= 0 || height <= 0) {
        // The size is the client's to choose: the output's, or the window's own.
        const int scale = std::max(1, scale120() / wholeScale);
        if (!windowed_ && output_ && output_->modeWidth > 0 && output_->modeHeight > 0) {
            width = output_->modeWidth / scale;
            height = output_->modeHeight / scale;
        } else if (configured_) {
            width = width_;
            height = height_;
        } else {
            width = windowWidth;
            height = windowHeight;
        }
    }
    // The commit acknowledges the configure, changed or not.
    if (!configured_ || width != width_ || height != height_ || paintedScale_ != scale120()) {
        width_ = width;
        height_ = height;
        configured_ = true;
        paintBackground();
    }
    commit();
}

void Screen::rescale()
{
    // Outputs that are gone are no longer under it.
    std::erase_if(enteredOutputs_, [this](wl_output* entered) {
        const auto& outputs = connection_.outputs;
        return std::none_of(outputs.begin(), outputs.end(), [entered](const auto& o) { return o->proxy == entered; });
    });
    if (!configured_ || paintedScale_ == scale120())
        return;
    paintBackground();
    commit();
}

void Screen::claimOutput()
{
    if (output_)
        xdg_toplevel_set_fullscreen(toplevel_, output_->proxy);
}

void Screen::entered(wl_output* output, bool in)
{
    std::erase(enteredOutputs_, output);
    if (in)
        enteredOutputs_.push_back(output);
    rescale();
}

void Screen::fractionalScale(int scale120)
{
    fractional_ = scale120;
    rescale();
}

void Screen::attach(wl_surface* surface, const ShmBuffer& buffer)
{
    wl_surface_attach(surface, buffer.proxy(), 0, 0);
    if (connection_.compositorVersion >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION)
        wl_surface_damage_buffer(surface, 0, 0, INT_MAX, INT_MAX);
    else
        wl_surface_damage(surface, 0, 0, INT_MAX, INT_MAX);
}

void Screen::commit()
{
    // The picture's surface changes with this commit too: it is synchronised.
    wl_surface_commit(surface_);
    replaced_.clear();
}

void Screen::paintBackground()
{
    paintedScale_ = scale120();
    if (viewport_) {
        // One pixel stretched over the surface by the compositor: the
        // middle one of three by three, as a renderer may sample a little
        // past the edge of its source (wlroots' pixman renderer leaves the
        // last row and column black when stretching a lone pixel).
        if (!backgroundBuffer_) {
            backgroundBuffer_ = ShmBuffer::make(connection_.shm, 3, 3);
            if (backgroundBuffer_)
                backgroundBuffer_->fill(background_);
        }
        wp_viewport_set_source(viewport_, wl_fixed_from_int(1), wl_fixed_from_int(1), wl_fixed_from_int(1), wl_fixed_from_int(1));
        wp_viewport_set_destination(viewport_, width_, height_);
    } else {
        const int scale = bufferScale();
        if (!backgroundBuffer_ || backgroundBuffer_->width() != width_ * scale || backgroundBuffer_->height() != height_ * scale) {
            if (backgroundBuffer_)
                replaced_.push_back(std::move(backgroundBuffer_));
            backgroundBuffer_ = ShmBuffer::make(connection_.shm, width_ * scale, height_ * scale);
            if (backgroundBuffer_)
                backgroundBuffer_->fill(background_);
        }
        wl_surface_set_buffer_scale(surface_, scale);
    }
    if (backgroundBuffer_)
        attach(surface_, *backgroundBuffer_);
    // The picture's buffer is made again for the new scale.
    bufferPicture_.reset();
    redraw_ = true;
}

bool Screen::draw(const ShowFrame& frame)
{
    if (!configured_ || frameCallback_)
        return false;
    if (!putPicture(frame) && pictureAttached_) {
        wl_surface_attach(pictureSurface_, nullptr, 0, 0);
        wl_surface_commit(pictureSurface_);
        pictureAttached_ = false;
    }
    redraw_ = false;
    frameCallback_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frameCallback_, &frameListener, this);
    commit();
    return true;
}

void Screen::frameDone()
{
    wl_callback_destroy(frameCallback_);
    frameCallback_ = nullptr;
}

bool Screen::putPicture(const ShowFrame& frame)
{
    const PictureRect& r = frame.rect;
    if (!frame.visible || !frame.picture || r.width <= 0 || r.height <= 0)
        return false;
    const int scale = bufferScale();
    bool fresh = false;
    if (bufferPicture_ != frame.picture || bufferWidth_ != r.width || bufferHeight_ != r.height || bufferPadScale_ != scale) {
        if (pictureBuffer_)
            replaced_.push_back(std::move(pictureBuffer_));
        bufferPicture_ = frame.picture;
        bufferWidth_ = r.width;
        bufferHeight_ = r.height;
        bufferPadScale_ = scale;
        const PixelBuffer& pixels = frame.picture->pixels;
        if (pixels.empty())
            return false;
        // Without the memory the place keeps the background, as on X11.
        pictureBuffer_ = ShmBuffer::make(connection_.shm, padded(r.width, scale), padded(r.height, scale));
        if (!pictureBuffer_)
            return false;
        // The pad is the background's colour: it does not show.
        pictureBuffer_->fill(background_);
        // A scaled JPEG may be decoded a pixel larger than it is shown.
        std::vector<std::uint32_t> stretched;
        if (pixels.width() != r.width || pixels.height() != r.height)
            stretched = player::stretchTo(pixels, r.width, r.height);
        for (int y = 0; y < r.height; ++y) {
            const std::uint32_t* from = stretched.empty() ? pixels.row(y) : stretched.data() + std::size_t(y) * std::size_t(r.width);
            std::memcpy(pictureBuffer_->row(y), from, std::size_t(r.width) * 4);
        }
        fresh = true;
    }
    if (!pictureBuffer_)
        return false;
    const PicturePlace place = placePicture(r, {0, 0, pixelWidth(), pixelHeight()}, scale120(), scale);
    if (!place.visible)
        return false;
    wl_subsurface_set_position(subsurface_, place.x, place.y);
    if (pictureViewport_) {
        if (place.viewport && place.sourceWidth > 0)
            wp_viewport_set_source(pictureViewport_, wl_fixed_from_double(place.sourceX), wl_fixed_from_double(place.sourceY),
                                   wl_fixed_from_double(place.sourceWidth), wl_fixed_from_double(place.sourceHeight));
        else
            wp_viewport_set_source(pictureViewport_, wl_fixed_from_int(-1), wl_fixed_from_int(-1), wl_fixed_from_int(-1),
                                   wl_fixed_from_int(-1));
        if (place.viewport)
            wp_viewport_set_destination(pictureViewport_, place.width, place.height);
        else
            wp_viewport_set_destination(pictureViewport_, -1, -1);
    }
    wl_surface_set_buffer_scale(pictureSurface_, scale);
    if (fresh || !pictureAttached_) {
        attach(pictureSurface_, *pictureBuffer_);
        pictureAttached_ = true;
    }
    wl_surface_commit(pictureSurface_);
    return true;
}

} // namespace wayland
