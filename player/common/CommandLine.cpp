#include "common/CommandLine.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace player {
namespace {

// XScreenSaver's standard options (hacks/screenhack.c) and the X Toolkit's,
// which a hack built on it takes too; named without their leading dash.
constexpr std::array<std::string_view, 10> ignoredFlags = {
    "mono", "install", "noinstall", "fps", "no-fps", "pair", "synchronous", "iconic", "rv", "reverse"};
constexpr std::array<std::string_view, 17> ignoredWithValue = {
    "visual", "geometry", "bg", "background", "fg", "foreground", "bd", "bordercolor", "bw", "borderwidth",
    "fn", "font", "name", "title", "xrm", "record-animation", "exit-after"};

template <std::size_t N>
bool among(const std::array<std::string_view, N>& list, std::string_view s)
{
    return std::find(list.begin(), list.end(), s) != list.end();
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

PlayerArgs usage(std::string problem)
{
    PlayerArgs a;
    a.Mode = RunMode::Usage;
    a.Problem = std::move(problem);
    return a;
}

// The X option's name without its one or two leading dashes; empty when `arg`
// is no such option.
std::string_view xOption(std::string_view arg)
{
    if (arg.size() < 2 || arg[0] != '-')
        return {};
    arg.remove_prefix(arg[1] == '-' ? 2 : 1);
    return arg;
}

} // namespace

bool parseWindowId(std::string_view text, std::uint64_t& id)
{
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.size() > 10)
        return false;
    std::uint64_t v = 0;
    for (const char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        v = v * std::uint64_t(base) + std::uint64_t(digit);
    }
    if (v == 0 || v > 0xFFFFFFFFu)
        return false;
    id = v;
    return true;
}

PlayerArgs parseCommandLine(const std::vector<std::string_view>& args)
{
    // What was asked, gathered first: the order of options does not matter.
    bool fullScreen = false, config = false, install = false, uninstall = false, help = false;
    bool haveWindowId = false;
    int rootOrWindow = 0;   // the last of --root (1) and --window (2), as X resources go
    int windowsOptions = 0;
    PlayerArgs a;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        std::string low = lower(arg);
        // Windows' own options come with "-" as well as "/" from some
        // launchers; none of them is an X option.
        if (low == "-s" || low == "-c" || low == "-p" || low.rfind("-c:", 0) == 0 || low.rfind("-p:", 0) == 0)
            low[0] = '/';
        auto value = [&](std::string_view& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        if (low == "/s") {
            fullScreen = true, ++windowsOptions;
        } else if (low == "/c" || low.rfind("/c:", 0) == 0) {
            config = true, ++windowsOptions;
            if (low.size() > 3 && !parseWindowId(arg.substr(3), a.WindowId))
                return usage("not a window: " + std::string(arg.substr(3)));
        } else if (low == "/p" || low.rfind("/p:", 0) == 0) {
            std::string_view id = arg.substr(std::min<std::size_t>(3, arg.size()));
            if (low == "/p" && !value(id))
                return usage("/p needs a window");
            if (!parseWindowId(id, a.WindowId))
                return usage("not a window: " + std::string(id));
            haveWindowId = true, ++windowsOptions;
        } else if (arg == "--install") {
            install = true;
        } else if (arg == "--uninstall") {
            uninstall = true;
        } else if (arg == "--help" || arg == "-help" || arg == "-h") {
            help = true;
        } else if (const std::string_view x = xOption(arg); !x.empty()) {
            std::string_view v;
            if (x == "window-id") {
                if (!value(v))
                    return usage(std::string(arg) + " needs a window");
                if (!parseWindowId(v, a.WindowId))
                    return usage("not a window: " + std::string(v));
                haveWindowId = true;
            } else if (x == "x11" || x == "wayland") {
                const Windowing w = x == "x11" ? Windowing::X11 : Windowing::Wayland;
                if (a.Through != Windowing::Either && a.Through != w)
                    return usage("--x11 and --wayland do not go together");
                a.Through = w;
            } else if (x == "root") {
                rootOrWindow = 1;
            } else if (x == "window") {
                rootOrWindow = 2;
            } else if (x == "display") {
                if (!value(v))
                    return usage(std::string(arg) + " needs a display");
                a.DisplayName = std::string(v);
            } else if (among(ignoredWithValue, x)) {
                if (!value(v))
                    return usage(std::string(arg) + " needs a value");
            } else if (!among(ignoredFlags, x)) {
                return usage("unknown option " + std::string(arg));
            }
        } else if (arg == "+rv" || arg == "+synchronous") {
            // X Toolkit flags that turn an option off.
        } else {
            return usage("unknown option " + std::string(arg));
        }
    }
    const int standalone = int(config) + int(install) + int(uninstall) + int(help) + int(fullScreen);
    if (windowsOptions > 1 || standalone > 1 || (standalone && (haveWindowId || rootOrWindow)))
        return usage("these options do not go together");
    if (a.Through == Windowing::Wayland && (haveWindowId || rootOrWindow == 1 || !a.DisplayName.empty()))
        return usage("--wayland does not go with an X window or display");
    if (help)
        a.Mode = RunMode::Help;
    else if (install)
        a.Mode = RunMode::Install;
    else if (uninstall)
        a.Mode = RunMode::Uninstall;
    else if (config)
        a.Mode = RunMode::Config;
    else if (haveWindowId)
        a.Mode = RunMode::IntoWindow;
    else if (rootOrWindow == 1)
        a.Mode = RunMode::Root;
    else if (rootOrWindow == 2)
        a.Mode = RunMode::Window;
    else
        a.Mode = RunMode::FullScreen;
    if (a.Mode != RunMode::IntoWindow && a.Mode != RunMode::Config)
        a.WindowId = 0;
    return a;
}

bool usesWayland(const PlayerArgs& args, const char* waylandDisplay)
{
    if (args.Through != Windowing::Either)
        return args.Through == Windowing::Wayland;
    if (args.Mode == RunMode::IntoWindow || args.Mode == RunMode::Root || !args.DisplayName.empty())
        return false;
    return waylandDisplay && *waylandDisplay;
}

PlayerArgs parseCommandLine(int argc, const char* const* argv)
{
    std::vector<std::string_view> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return parseCommandLine(args);
}

std::string usageText(std::string_view program)
{
    return "usage: " + std::string(program) +
           " [/s | /c[:N] | /p N | --window-id N | --root | --window | --install | --uninstall] [--x11 | --wayland]\n"
           "  N is a window id, 0x... or decimal; XScreenSaver's standard options (-fps, -visual V, ...) are accepted.\n";
}

} // namespace player
