#include "x11/XWindows.h"

#include "common/CommandLine.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xrandr.h>

#include <cstdlib>
#include <ctime>

namespace x11 {

namespace {
int firstError = 0;

int onXError(Display*, XErrorEvent* e)
{
    if (firstError == 0)
        firstError = e->error_code;
    return 0;
}

void pause(long ms)
{
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    ::nanosleep(&t, nullptr);
}
} // namespace

void noteErrorsQuietly() { XSetErrorHandler(onXError); }

int takeXError()
{
    const int e = firstError;
    firstError = 0;
    return e;
}

::Window rootTarget(Display* display, int screen, bool& desktop)
{
    const ::Window root = RootWindow(display, screen);
    desktop = false;
    if (const char* env = std::getenv("XSCREENSAVER_WINDOW"); env && *env) {
        std::uint64_t id = 0;
        if (player::parseWindowId(env, id))
            return ::Window(id);
    }
    desktop = true;
    const Atom vroot = XInternAtom(display, "__SWM_VROOT", False);
    ::Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    ::Window found = root;
    if (XQueryTree(display, root, &rootReturn, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count && found == root; ++i) {
            Atom type = 0;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(display, children[i], vroot, 0, 1, False, XA_WINDOW, &type, &format, &items, &after, &data) ==
                    Success &&
                type == XA_WINDOW && format == 32 && items == 1 && data)
                found = *reinterpret_cast<::Window*>(data);
            if (data)
                XFree(data);
        }
        if (children)
            XFree(children);
    }
    return found;
}

std::vector<player::Monitor> monitorsOf(Display* display, ::Window root)
{
    std::vector<player::Monitor> out;
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &event, &error) || !XRRQueryVersion(display, &major, &minor) ||
        (major < 1 || (major == 1 && minor < 5)))
        return out;
    int n = 0;
    if (XRRMonitorInfo* monitors = XRRGetMonitors(display, root, True, &n)) {
        for (int i = 0; i < n; ++i)
            out.push_back({{monitors[i].x, monitors[i].y, monitors[i].width, monitors[i].height}, monitors[i].primary != 0});
        XRRFreeMonitors(monitors);
    }
    return out;
}

PictureRect rectInRoot(Display* display, ::Window window, int width, int height)
{
    int x = 0, y = 0;
    ::Window child = 0;
    XWindowAttributes a{};
    if (XGetWindowAttributes(display, window, &a))
        XTranslateCoordinates(display, window, a.root, 0, 0, &x, &y, &child);
    return {x, y, width, height};
}

namespace {
Cursor invisibleCursor(Display* display, ::Window window)
{
    static const char nothing[1] = {0};
    const Pixmap blank = XCreateBitmapFromData(display, window, nothing, 1, 1);
    XColor black{};
    const Cursor cursor = XCreatePixmapCursor(display, blank, blank, &black, &black, 0, 0);
    XFreePixmap(display, blank);
    return cursor;
}
} // namespace

::Window createFullScreenWindow(Display* display, int screen)
{
    const ::Window root = RootWindow(display, screen);
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixel = BlackPixel(display, screen);
    a.backing_store = NotUseful;
    const ::Window w = XCreateWindow(display, root, 0, 0, unsigned(DisplayWidth(display, screen)), unsigned(DisplayHeight(display, screen)),
                                     0, CopyFromParent, InputOutput, CopyFromParent,
                                     CWOverrideRedirect | CWBackPixel | CWBackingStore, &a);
    XDefineCursor(display, w, invisibleCursor(display, w));
    XStoreName(display, w, "Glimmer screensaver");
    return w;
}

Atom deleteWindowAtom(Display* display) { return XInternAtom(display, "WM_DELETE_WINDOW", False); }

::Window createOwnWindow(Display* display, int screen, int width, int height, const std::string& title)
{
    const ::Window root = RootWindow(display, screen);
    XSetWindowAttributes a{};
    a.background_pixel = BlackPixel(display, screen);
    const ::Window w = XCreateWindow(display, root, 0, 0, unsigned(width), unsigned(height), 0, CopyFromParent, InputOutput,
                                     CopyFromParent, CWBackPixel, &a);
    // The title in both forms: Latin-1 for old window managers, UTF-8 for the rest.
    XStoreName(display, w, title.c_str());
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, w, XInternAtom(display, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), int(title.size()));
    XClassHint hint{};
    char name[] = "glimmer-scr", cls[] = "Glimmer-scr";
    hint.res_name = name;
    hint.res_class = cls;
    XSetClassHint(display, w, &hint);
    Atom del = deleteWindowAtom(display);
    XSetWMProtocols(display, w, &del, 1);
    return w;
}

bool grabInput(Display* display, ::Window window, const std::function<bool()>& stop)
{
    const Cursor none = invisibleCursor(display, window);
    bool keyboard = false, pointer = false;
    for (int i = 0; i < 40 && !(keyboard && pointer) && !stop(); ++i) {
        if (!keyboard)
            keyboard = XGrabKeyboard(display, window, True, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
        if (!pointer)
            pointer = XGrabPointer(display, window, True, ButtonPressMask, GrabModeAsync, GrabModeAsync, None, none, CurrentTime) ==
                      GrabSuccess;
        if (!(keyboard && pointer))
            pause(25);
    }
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    return keyboard && pointer;
}

} // namespace x11
