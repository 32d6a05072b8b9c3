#include "XClient.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>

#include <cstdlib>

namespace {
Display* dpy(void* d) { return static_cast<Display*>(d); }
int ignoreErrors(Display*, XErrorEvent*) { return 0; }
} // namespace

XClient::XClient(const std::string& display)
{
    display_ = XOpenDisplay(display.c_str());
    if (display_)
        XSetErrorHandler(ignoreErrors);
}

XClient::~XClient()
{
    if (display_)
        XCloseDisplay(dpy(display_));
}

unsigned long XClient::Root() const { return DefaultRootWindow(dpy(display_)); }

unsigned long XClient::CreateWindow(int x, int y, int width, int height, unsigned long parent)
{
    Display* d = dpy(display_);
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(d, DefaultScreen(d));
    // Placed where asked, with no window manager to move it.
    a.override_redirect = True;
    const Window w = XCreateWindow(d, parent ? parent : Root(), x, y, unsigned(width), unsigned(height), 0, CopyFromParent, InputOutput,
                                   CopyFromParent, CWBackPixel | CWOverrideRedirect, &a);
    XMapWindow(d, w);
    XSync(d, False);
    return w;
}

unsigned long XClient::CreateAlphaWindow(int x, int y, int width, int height)
{
    Display* d = dpy(display_);
    XVisualInfo info{};
    if (!XMatchVisualInfo(d, DefaultScreen(d), 32, TrueColor, &info))
        return 0;
    XSetWindowAttributes a{};
    a.colormap = XCreateColormap(d, Root(), info.visual, AllocNone);
    a.background_pixel = 0;
    a.border_pixel = 0;
    a.override_redirect = True;
    const Window w = XCreateWindow(d, Root(), x, y, unsigned(width), unsigned(height), 0, 32, InputOutput, info.visual,
                                   CWColormap | CWBackPixel | CWBorderPixel | CWOverrideRedirect, &a);
    XMapWindow(d, w);
    XSync(d, False);
    return w;
}

double XClient::OpaqueShare(unsigned long window)
{
    Display* d = dpy(display_);
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d, window, &a) || a.depth != 32)
        return 0;
    XImage* image = XGetImage(d, window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!image)
        return 0;
    long opaque = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            opaque += (XGetPixel(image, x, y) >> 24 & 0xFF) == 0xFF;
    XDestroyImage(image);
    return double(opaque) / (double(a.width) * double(a.height));
}

void XClient::Resize(unsigned long window, int width, int height)
{
    XResizeWindow(dpy(display_), window, unsigned(width), unsigned(height));
    XSync(dpy(display_), False);
}

void XClient::PaintBlack(unsigned long window)
{
    Display* d = dpy(display_);
    XGCValues v{};   // foreground 0: black on a TrueColor screen
    v.subwindow_mode = IncludeInferiors;
    GC gc = XCreateGC(d, window, GCSubwindowMode, &v);
    XFillRectangle(d, window, gc, 0, 0, 8192, 8192);
    XFreeGC(d, gc);
    XSync(d, False);
}

void XClient::Destroy(unsigned long window)
{
    XDestroyWindow(dpy(display_), window);
    XSync(dpy(display_), False);
}

void XClient::AskToClose(unsigned long window)
{
    Display* d = dpy(display_);
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = window;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, window, False, NoEventMask, &e);
    XSync(d, False);
}

void XClient::SetVirtualRoot(unsigned long child, unsigned long vroot)
{
    Display* d = dpy(display_);
    const Window v = vroot;
    XChangeProperty(d, child, XInternAtom(d, "__SWM_VROOT", False), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&v), 1);
    XSync(d, False);
}

bool XClient::Exists(unsigned long window)
{
    XWindowAttributes a{};
    return XGetWindowAttributes(dpy(display_), window, &a) != 0;
}

std::vector<unsigned long> XClient::MappedTopLevels()
{
    Display* d = dpy(display_);
    std::vector<unsigned long> out;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    if (XQueryTree(d, Root(), &root, &parent, &children, &n)) {
        for (unsigned int i = 0; i < n; ++i) {
            XWindowAttributes a{};
            if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable)
                out.push_back(children[i]);
        }
        if (children)
            XFree(children);
    }
    return out;
}

bool XClient::PointerVisible()
{
    XFixesCursorImage* cursor = XFixesGetCursorImage(dpy(display_));
    if (!cursor)
        return true;
    bool visible = false;
    for (int i = 0; i < cursor->width * cursor->height && !visible; ++i)
        visible = (cursor->pixels[i] >> 24) != 0;
    XFree(cursor);
    return visible;
}

std::vector<std::uint32_t> XClient::Pixels(unsigned long window, int& width, int& height)
{
    Display* d = dpy(display_);
    std::vector<std::uint32_t> out;
    width = height = 0;
    XWindowAttributes a{};
    if (!XGetWindowAttributes(d, window, &a))
        return out;
    XImage* image = XGetImage(d, window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!image)
        return out;
    width = a.width;
    height = a.height;
    out.resize(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            // A 24-bit TrueColor screen, as Xvfb's.
            out[std::size_t(y) * std::size_t(width) + std::size_t(x)] = std::uint32_t(p & 0xFFFFFF);
        }
    XDestroyImage(image);
    return out;
}

double XClient::Share(unsigned long window, std::uint32_t rgb, int tolerance)
{
    int w = 0, h = 0;
    const std::vector<std::uint32_t> pixels = Pixels(window, w, h);
    if (pixels.empty())
        return 0;
    std::size_t near = 0;
    for (const std::uint32_t p : pixels) {
        const int dr = int((p >> 16) & 0xFF) - int((rgb >> 16) & 0xFF);
        const int dg = int((p >> 8) & 0xFF) - int((rgb >> 8) & 0xFF);
        const int db = int(p & 0xFF) - int(rgb & 0xFF);
        if (std::abs(dr) <= tolerance && std::abs(dg) <= tolerance && std::abs(db) <= tolerance)
            ++near;
    }
    return double(near) / double(pixels.size());
}
