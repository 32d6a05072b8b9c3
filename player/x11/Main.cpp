// GLIMMER.BIN: the player of a compiled screensaver, drawn with Xlib, or as
// a Wayland client where the session is one (libwayland-client loaded then).
// A compiled NAME.SCR is this program followed by its image store; run, it
// shows the pictures as Glimmer's preview does: full screen, in a window of
// its own, or in a window it is given (XScreenSaver's, or its settings
// program's preview).
#include "common/CommandLine.h"
#include "install/DesktopTheme.h"
#include "install/UseAsScreensaver.h"
#include "common/SelfFile.h"
#include "common/Store.h"
#include "common/Wakeup.h"
#include "decode/DecodeError.h"
#include "text/PrintableText.h"
#include "wayland/Show.h"
#include "x11/Show.h"
#include "x11/XWindows.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

std::string baseName(const char* path)
{
    const std::string p = path && *path ? path : "GLIMMER.BIN";
    return p.substr(p.find_last_of('/') + 1);
}

// "SUNSET" for SUNSET.SCR: the name the screensaver was compiled under.
std::string screensaverName(const std::string& file)
{
    const std::size_t dot = file.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? file : file.substr(0, dot);
}

int fail(const std::string& program, const std::string& message)
{
    printLines(stderr, program + ": " + message);
    return 1;
}

std::string noDisplayText(const std::string& named)
{
    const char* env = std::getenv("DISPLAY");
    const std::string display = !named.empty() ? named : env ? env : "";
    if (display.empty())
        return "No display: DISPLAY is not set, and the screensaver needs an X display to show itself.";
    return "The X display " + display + " cannot be reached; the screensaver needs one to show itself.";
}

std::string programForIoError;

int onDisplayLost(Display*)
{
    printLines(stderr, programForIoError + ": The X display was closed; the screensaver ends.");
    ::_exit(1);
}

// Ends at once: the decode under way, if any, is not waited for, and the X
// server takes back the windows, grabs and pixmaps with the connection.
[[noreturn]] void endProcess(Display* display, int status)
{
    if (display)
        XCloseDisplay(display);
    std::fflush(nullptr);
    ::_exit(status);
}

// On Wayland; a status when the show ran or cannot run at all, none when it
// should show through X11 instead (Wayland was not asked for, and cannot be
// had, while an X display can).
std::optional<int> runOnWayland(const player::PlayerArgs& args, const player::StoreView& store, const std::string& program)
{
    const bool fullScreen = args.mode != player::RunMode::Window;
    // Never destroyed when it runs: endProcess does not return.
    auto* show = new wayland::Show(store, fullScreen, fullScreen ? "Glimmer screensaver" : screensaverName(program), program);
    const std::string problem = show->open();
    if (problem.empty())
        endProcess(nullptr, show->run());
    delete show;
    const char* x = std::getenv("DISPLAY");
    if (args.through == player::Windowing::Wayland || !x || !*x)
        return fail(program, "The screensaver cannot show itself on Wayland: " + problem + ".");
    printLines(stderr, program + ": Wayland cannot be used (" + problem + "); the screensaver shows through X11.");
    return std::nullopt;
}

int runShow(const player::PlayerArgs& args, const player::StoreView& store, const std::string& program)
{
    if (player::usesWayland(args, std::getenv("WAYLAND_DISPLAY")))
        if (const std::optional<int> status = runOnWayland(args, store, program))
            return *status;
    Display* display = XOpenDisplay(args.displayName.empty() ? nullptr : args.displayName.c_str());
    if (!display)
        return fail(program, noDisplayText(args.displayName));
    programForIoError = program;
    XSetIOErrorHandler(onDisplayLost);
    x11::noteErrorsQuietly();
    const int screen = DefaultScreen(display);

    x11::ShowTarget target;
    switch (args.mode) {
    case player::RunMode::IntoWindow:
        target.window = ::Window(args.windowId);
        break;
    case player::RunMode::Root:
        target.window = x11::rootTarget(display, screen, target.desktop);
        break;
    case player::RunMode::Window:
        target.window = x11::createOwnWindow(display, screen, 800, 600, screensaverName(program));
        target.ownWindow = true;
        break;
    default:
        target.window = x11::createFullScreenWindow(display, screen);
        target.ownWindow = true;
        target.endOnInput = true;
        target.fullScreen = true;
        target.screens = player::ScreenPolicy::EveryMonitor;
        break;
    }
    // Never destroyed: endProcess does not return.
    auto* show = new x11::Show(display, target, store, program);
    endProcess(display, show->run());
}

int runPlayer(int argc, char** argv, const std::string& program)
{
    const player::PlayerArgs args = player::parseCommandLine(argc, argv);
    if (args.mode == player::RunMode::Usage) {
        if (!args.problem.empty())
            printLines(stderr, program + ": " + args.problem);
        printLines(stderr, player::usageText(program));
        return 2;
    }
    if (args.mode == player::RunMode::Help) {
        printLines(stdout, player::usageText(program));
        return 0;
    }
    // A signal from here on ends the player with status 0, in every mode.
    if (!player::Wakeup::install())
        return fail(program, "The screensaver cannot set up its signals.");

    // The store lies after this program's own image, in its own file.
    const player::MappedFile self("/proc/self/exe");
    if (!self.ok())
        return fail(program, "The screensaver cannot read its own file: " + self.problem() + ".");
    player::StoreView store;
    try {
        store = player::readAttachedStore(self.data(), self.size());
    } catch (const player::StoreError& e) {
        return fail(program, std::string(e.what()) + ".");
    }

    switch (args.mode) {
    case player::RunMode::Install: {
        // As the program's "Use as My Screensaver": made the one the desktop shows.
        install::UseRequest request;
        request.install.programPath = player::ownExecutablePath();
        request.install.home = install::homeFolder();
        request.again = "run " + install::quoted(request.install.programPath) + " --install again";
        request.session = install::Session::current();
        const install::UseOutcome r = install::useAsScreensaver(request);
        r.exitCode() == 0 ? printData(stdout, r.text + "\n") : printLines(stderr, r.text + "\n");
        return r.exitCode();
    }
    case player::RunMode::Uninstall: {
        install::InstallRequest request;
        request.programPath = player::ownExecutablePath();
        request.home = install::homeFolder();
        const install::InstallResult r = install::uninstallScreensaver(request);
        // What was done names the files changed, which a script may use; a failure is a message.
        r.exitCode == 0 ? printData(stdout, r.message) : printLines(stderr, r.message);
        return r.exitCode;
    }
    case player::RunMode::Config:
        printLines(stdout, player::describeStore(store, screensaverName(program)));
        return 0;
    default:
        return runShow(args, store, program);
    }
}

} // namespace

int main(int argc, char** argv)
{
    const std::string program = baseName(argc > 0 ? argv[0] : nullptr);
    try {
        return runPlayer(argc, argv, program);
    } catch (const std::exception& e) {
        // Under a memory limit, say: words, not "std::bad_alloc" and an abort.
        return fail(program, failureText(e) + ".");
    }
}
