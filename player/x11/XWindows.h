#pragma once
// The windows a compiled screensaver draws into, as XScreenSaver's own
// programs find and make them (its utils/vroot.h and hacks/screenhack.c):
// the window it is given, the daemon's window or the (virtual) root, a
// full-screen window of its own, or an ordinary window.
#include "common/Geometry.h"

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace x11 {

// X errors are noted, never fatal: the window drawn into may be destroyed by
// its owner at any moment, and the requests already sent then fail.
void noteErrorsQuietly();
// The code of the first X error since the last call; 0 when none came.
int takeXError();

// --root: $XSCREENSAVER_WINDOW when it names a window, else the virtual root
// (the root's child with the property __SWM_VROOT), else the root; `desktop`
// tells the last two, where programs' windows stand too.
::Window rootTarget(Display* display, int screen, bool& desktop);

// The monitors (XRandR 1.5), active ones only; empty when the server cannot tell.
std::vector<player::Monitor> monitorsOf(Display* display, ::Window root);

// Where `window` stands on the screen, in root coordinates.
PictureRect rectInRoot(Display* display, ::Window window, int width, int height);

// A window without frame over the whole screen, above all others
// (override-redirect, as XScreenSaver's own), with no visible pointer.
::Window createFullScreenWindow(Display* display, int screen);
// An ordinary window of the window manager's, titled `title` (UTF-8), that
// asks to be told when the user closes it (WM_DELETE_WINDOW).
::Window createOwnWindow(Display* display, int screen, int width, int height, const std::string& title);
Atom deleteWindowAtom(Display* display);

// Every key and button reaches `window` (grabs, tried for up to a second
// while other grabs go away); false when another program kept them.
// `stop` ends the tries early.
bool grabInput(Display* display, ::Window window, const std::function<bool()>& stop);

} // namespace x11
