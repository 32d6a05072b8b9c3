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
    a.mode = RunMode::Usage;
    a.problem = std::move(problem);
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

namespace {

// What the arguments asked for, gathered before anything is decided: the
// order of options does not matter.
struct Asked {
    bool fullScreen = false, config = false, install = false, uninstall = false, help = false;
    bool haveWindowId = false;
    int rootOrWindow = 0;   // the last of --root (1) and --window (2), as X resources go
    int windowsOptions = 0;
};

// The arguments one at a time, and each option's value when it takes one.
class Arguments {
public:
    explicit Arguments(const std::vector<std::string_view>& args) : args_(args) {}
    bool next(std::string_view& arg)
    {
        if (at_ >= args_.size())
            return false;
        arg = args_[at_++];
        return true;
    }
    bool value(std::string_view& out) { return next(out); }

private:
    const std::vector<std::string_view>& args_;
    std::size_t at_ = 0;
};

// One of Windows' options (/s, /c[:N], /p N, /p:N), `low` in lower case with
// "/" for its dash; false when `arg` is none. `problem` says what was wrong.
bool takeWindowsOption(std::string_view arg, const std::string& low, Arguments& in, Asked& asked, PlayerArgs& a,
                       std::string& problem)
{
    if (low == "/s") {
        asked.fullScreen = true;
    } else if (low == "/c" || low.rfind("/c:", 0) == 0) {
        asked.config = true;
        if (low.size() > 3 && !parseWindowId(arg.substr(3), a.windowId))
            problem = "not a window: " + std::string(arg.substr(3));
    } else if (low == "/p" || low.rfind("/p:", 0) == 0) {
        std::string_view id = arg.substr(std::min<std::size_t>(3, arg.size()));
        if (low == "/p" && !in.value(id))
            problem = "/p needs a window";
        else if (!parseWindowId(id, a.windowId))
            problem = "not a window: " + std::string(id);
        asked.haveWindowId = true;
    } else {
        return false;
    }
    ++asked.windowsOptions;
    return true;
}

// One X option, `x` its name without dashes; what was wrong, or nothing.
std::string takeXOption(std::string_view arg, std::string_view x, Arguments& in, Asked& asked, PlayerArgs& a)
{
    std::string_view v;
    if (x == "window-id") {
        if (!in.value(v))
            return std::string(arg) + " needs a window";
        if (!parseWindowId(v, a.windowId))
            return "not a window: " + std::string(v);
        asked.haveWindowId = true;
    } else if (x == "x11" || x == "wayland") {
        const Windowing w = x == "x11" ? Windowing::X11 : Windowing::Wayland;
        if (a.through != Windowing::Either && a.through != w)
            return "--x11 and --wayland do not go together";
        a.through = w;
    } else if (x == "root") {
        asked.rootOrWindow = 1;
    } else if (x == "window") {
        asked.rootOrWindow = 2;
    } else if (x == "display") {
        if (!in.value(v))
            return std::string(arg) + " needs a display";
        a.displayName = std::string(v);
    } else if (among(ignoredWithValue, x)) {
        if (!in.value(v))
            return std::string(arg) + " needs a value";
    } else if (!among(ignoredFlags, x)) {
        return "unknown option " + std::string(arg);
    }
    return {};
}

// Every argument into `asked` and `a`; what was wrong, or nothing.
std::string gather(Arguments in, Asked& asked, PlayerArgs& a)
{
    std::string_view arg;
    while (in.next(arg)) {
        std::string low = lower(arg);
        // Windows' own options come with "-" as well as "/" from some
        // launchers; none of them is an X option.
        if (low == "-s" || low == "-c" || low == "-p" || low.rfind("-c:", 0) == 0 || low.rfind("-p:", 0) == 0)
            low[0] = '/';
        std::string problem;
        if (takeWindowsOption(arg, low, in, asked, a, problem)) {
            if (!problem.empty())
                return problem;
        } else if (arg == "--install") {
            asked.install = true;
        } else if (arg == "--uninstall") {
            asked.uninstall = true;
        } else if (arg == "--help" || arg == "-help" || arg == "-h") {
            asked.help = true;
        } else if (const std::string_view x = xOption(arg); !x.empty()) {
            if (std::string problem = takeXOption(arg, x, in, asked, a); !problem.empty())
                return problem;
        } else if (arg != "+rv" && arg != "+synchronous") {   // X Toolkit flags that turn an option off
            return "unknown option " + std::string(arg);
        }
    }
    return {};
}

RunMode modeOf(const Asked& asked)
{
    if (asked.help)
        return RunMode::Help;
    if (asked.install)
        return RunMode::Install;
    if (asked.uninstall)
        return RunMode::Uninstall;
    if (asked.config)
        return RunMode::Config;
    if (asked.haveWindowId)
        return RunMode::IntoWindow;
    if (asked.rootOrWindow == 1)
        return RunMode::Root;
    if (asked.rootOrWindow == 2)
        return RunMode::Window;
    return RunMode::FullScreen;
}

} // namespace

PlayerArgs parseCommandLine(const std::vector<std::string_view>& args)
{
    Asked asked;
    PlayerArgs a;
    if (std::string problem = gather(Arguments(args), asked, a); !problem.empty())
        return usage(std::move(problem));
    const int standalone = int(asked.config) + int(asked.install) + int(asked.uninstall) + int(asked.help) + int(asked.fullScreen);
    if (asked.windowsOptions > 1 || standalone > 1 || (standalone && (asked.haveWindowId || asked.rootOrWindow)))
        return usage("these options do not go together");
    if (a.through == Windowing::Wayland && (asked.haveWindowId || asked.rootOrWindow == 1 || !a.displayName.empty()))
        return usage("--wayland does not go with an X window or display");
    a.mode = modeOf(asked);
    if (a.mode != RunMode::IntoWindow && a.mode != RunMode::Config)
        a.windowId = 0;
    return a;
}

bool usesWayland(const PlayerArgs& args, const char* waylandDisplay)
{
    if (args.through != Windowing::Either)
        return args.through == Windowing::Wayland;
    if (args.mode == RunMode::IntoWindow || args.mode == RunMode::Root || !args.displayName.empty())
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
