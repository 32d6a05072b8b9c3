// GLIMMER.EXE: the Windows player of a compiled screensaver. WINDOWS/NAME.SCR
// is this program followed by the same image store as NAME.SCR; Windows runs
// it as screensavers are run: /s (or nothing, from a double-click) full
// screen, /p HWND in the Control Panel's preview, /c for its settings.
#include "SaverWindow.h"

#include "common/CommandLine.h"
#include "common/SelfFile.h"
#include "common/Store.h"
#include "decode/DecodeError.h"

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

using namespace player;

namespace {

constexpr wchar_t title[] = L"Glimmer screensaver";

std::string utf8(const wchar_t* text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string s(std::size_t(n > 0 ? n - 1 : 0), '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, s.data(), n, nullptr, nullptr);
    return s;
}

std::wstring wide(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
    std::wstring w(std::size_t(n > 0 ? n : 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), w.data(), n);
    return w;
}

std::vector<std::string> arguments()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; argv && i < argc; ++i)
        args.push_back(utf8(argv[i]));
    LocalFree(argv);
    return args;
}

// SUNSET for C:\Windows\SUNSET.SCR.
std::string baseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

int message(HWND owner, const std::string& text, UINT icon, int code)
{
    MessageBoxW(owner, wide(text).c_str(), title, MB_OK | icon | MB_SETFOREGROUND);
    return code;
}

std::string usage(const std::string& program)
{
    return "usage: " + program +
           " [/s | /c | /p HWND]\n\n"
           "/s shows the screensaver full screen (as does a double-click), /c tells what it holds, "
           "/p HWND shows it in the preview window HWND.";
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Pictures drawn pixel for pixel, not enlarged by the display's scaling.
    SetProcessDPIAware();
    const std::string self = ownExecutablePath();
    const std::string name = baseName(self);
    std::vector<std::string> args = arguments();
    const std::vector<std::string_view> views(args.begin(), args.end());
    const PlayerArgs a = parseCommandLine(views);

    switch (a.mode) {
    case RunMode::Usage:
        return message(nullptr, a.problem + ".\n\n" + usage(name + ".SCR"), MB_ICONERROR, 2);
    case RunMode::Help:
        return message(nullptr, usage(name + ".SCR"), MB_ICONINFORMATION, 0);
    case RunMode::Root:
    case RunMode::Install:
    case RunMode::Uninstall:
        return message(nullptr,
                       "--root, --install and --uninstall are for XScreenSaver on Linux. On Windows, right-click the "
                       "file and choose Install.",
                       MB_ICONERROR, 2);
    default:
        break;
    }

    // In the preview no box ever appears: the Control Panel starts the
    // preview each time the screensaver is chosen in its list.
    const bool preview = a.mode == RunMode::IntoWindow;
    HWND parent = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(a.windowId));
    auto fail = [&](const std::string& text) {
        OutputDebugStringW((L"Glimmer screensaver: " + wide(text) + L"\n").c_str());
        return preview ? 1 : message(nullptr, text, MB_ICONERROR, 1);
    };
    const MappedFile file(self);
    if (self.empty() || !file.ok())
        return fail("The screensaver cannot read its own file" + (file.problem().empty() ? std::string() : ": " + file.problem()) + ".");
    StoreView store;
    try {
        store = readAttachedStore(file.data(), file.size());
    } catch (const StoreError& e) {
        return fail(std::string(e.what()) + ".");
    }

    if (a.mode == RunMode::Config) {
        HWND owner = parent && IsWindow(parent) ? parent : nullptr;
        return message(owner,
                       describeContents(store, name) +
                           "\n\nMade with Glimmer. To make it your screensaver, right-click the file and choose Install.",
                       MB_ICONINFORMATION, 0);
    }
    if (preview && !IsWindow(parent))
        return fail("The preview window " + std::to_string(a.windowId) + " is not there.");
    const ShowPlace place = preview ? ShowPlace::Preview : a.mode == RunMode::Window ? ShowPlace::OwnWindow : ShowPlace::FullScreen;
    try {
        SaverWindow show(store, file, place, preview ? parent : nullptr, wide(name));
        // A decode still under way (WIC cannot be stopped inside a row) is
        // not waited for: the show has ended, and so has the program.
        ExitProcess(UINT(show.run()));
    } catch (const std::exception& e) {
        // Memory or a thread that could not be had: words, not a crash.
        return fail(failureText(e) + ".");
    }
}
