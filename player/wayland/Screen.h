#pragma once
// One toplevel of the player's: full screen on an output, or an ordinary
// window. Its surface shows the background colour (one pixel stretched by
// the viewport where the compositor has one), and its show's picture is in a
// subsurface above it, whose pixels are written once per picture: a step of
// the motion moves the subsurface, and the compositor does the rest. Drawing
// is paced by the compositor's frame callbacks.
#include "engine/ShowEngine.h"
#include "wayland/Connection.h"
#include "wayland/Placement.h"
#include "wayland/ShmBuffer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace wayland {

class Screen {
public:
    // Full screen on `output`, or, without one, a window titled `title`
    // (UTF-8). `background` is the pixel of the background colour.
    Screen(Connection& connection, Output* output, std::uint32_t background, const std::string& title);
    ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    Output* output() const { return output_; }
    // Its size in pixels; 0 until the compositor has told it.
    int pixelWidth() const { return configured_ ? toPixels(width_, scale120()) : 0; }
    int pixelHeight() const { return configured_ ? toPixels(height_, scale120()) : 0; }
    // The compositor asked to close it.
    bool closed() const { return closed_; }

    // Shows the picture as `frame` has it: false, and nothing done, while
    // the compositor has not yet taken the last drawing.
    bool draw(const ShowFrame& frame);
    // Wants the picture drawn again though the show has not changed (a new
    // scale, the screen just come).
    bool wantsDraw() const { return redraw_; }
    // An output's scale changed, or the screen went onto another output.
    void rescale();
    // Asks again to be full screen on its output: when another output went,
    // the compositor may have moved what was there (sway: its workspace)
    // over this one.
    void claimOutput();

    // The listeners' ends, public for the C callbacks.
    void toplevelConfigure(int width, int height);
    void surfaceConfigure(std::uint32_t serial);
    void close() { closed_ = true; }
    void frameDone();
    void entered(wl_output* output, bool in);
    void fractionalScale(int scale120);

private:
    int scale120() const;
    // A whole scale, told either way, goes into the buffer, which keeps each
    // pixel whole; any other is left to the viewport.
    int bufferScale() const { return scale120() % wholeScale == 0 ? scale120() / wholeScale : 1; }
    void paintBackground();
    bool putPicture(const ShowFrame& frame);
    void attach(wl_surface* surface, const ShmBuffer& buffer);
    void commit();

    Connection& connection_;
    Output* output_;
    std::uint32_t background_;
    wl_surface* surface_ = nullptr;
    xdg_surface* xdgSurface_ = nullptr;
    xdg_toplevel* toplevel_ = nullptr;
    wp_viewport* viewport_ = nullptr;
    wp_fractional_scale_v1* fractionalScale_ = nullptr;
    zwp_keyboard_shortcuts_inhibitor_v1* shortcutsInhibitor_ = nullptr;
    std::unique_ptr<ShmBuffer> backgroundBuffer_;
    // The size the compositor gave, in logical units, and the one it asks now.
    int width_ = 0, height_ = 0;
    int askedWidth_ = 0, askedHeight_ = 0;
    bool configured_ = false;
    bool closed_ = false;
    bool windowed_ = false;
    int fractional_ = 0;   // the compositor's fractional scale, 0: none told
    int paintedScale_ = 0;
    std::vector<wl_output*> enteredOutputs_;
    wl_callback* frameCallback_ = nullptr;

    // The picture.
    wl_surface* pictureSurface_ = nullptr;
    wl_subsurface* subsurface_ = nullptr;
    wp_viewport* pictureViewport_ = nullptr;
    std::unique_ptr<ShmBuffer> pictureBuffer_;
    std::vector<std::unique_ptr<ShmBuffer>> replaced_;   // until the commit that replaces them
    std::shared_ptr<const FittedPicture> bufferPicture_;   // what pictureBuffer_ holds
    int bufferWidth_ = 0, bufferHeight_ = 0, bufferPadScale_ = 0;
    bool pictureAttached_ = false;
    bool redraw_ = true;
};

} // namespace wayland
