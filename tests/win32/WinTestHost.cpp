// A small Win32 program for the Wine tests, standing where Windows would:
//   preview X Y W H CLOSEFILE SAVER  makes a top-level window at X,Y of
//        W x H, runs "SAVER /p HWND" into it, prints "ready HWND", and once
//        CLOSEFILE exists destroys the window and waits for the screensaver:
//        "saver ended N" (exit 0 when N is 0), or "saver still running"
//        (exit 1).
//   dialog X Y W H CLOSEFILE SAVER  the same with what Windows' Screen Saver
//        Settings hands over: a STATIC child of W x H inside a dialog at
//        X,Y; prints "ready HWND at SX SY", where the child lies on the
//        screen.
//   box TITLE SECONDS  waits for a message box of that title, prints its
//        text, and presses its OK button (exit 1 when none came).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string s(std::size_t(n > 0 ? n : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), s.data(), n, nullptr, nullptr);
    return s;
}

void say(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Waits `ms` while the window's messages are handled.
void pump(DWORD ms)
{
    const DWORD end = GetTickCount() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD now = GetTickCount();
        if (int(end - now) <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    }
}

// The window the screensaver is given: a gray top-level popup, or a black
// STATIC inside a dialog (which is then `top`, the window to destroy).
HWND previewWindow(bool inDialog, int x, int y, int w, int h, HWND& top)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!inDialog) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = instance;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        wc.lpszClassName = L"GlimmerTestPreview";
        RegisterClassW(&wc);
        top = CreateWindowExW(0, wc.lpszClassName, L"Preview host", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                              instance, nullptr);
        return top;
    }
    constexpr int margin = 20;
    RECT r{0, 0, w + 2 * margin, h + 2 * margin};
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_VISIBLE;
    AdjustWindowRectEx(&r, style, FALSE, WS_EX_DLGMODALFRAME);
    top = CreateWindowExW(WS_EX_DLGMODALFRAME, L"#32770", L"Screen Saver Settings", style, x, y, r.right - r.left,
                          r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    if (!top)
        return nullptr;
    return CreateWindowExW(0, L"STATIC", nullptr, WS_CHILD | WS_VISIBLE | SS_BLACKRECT, margin, margin, w, h, top, nullptr,
                           instance, nullptr);
}

int preview(int argc, wchar_t** argv, bool inDialog)
{
    if (argc < 8)
        return 2;
    const int x = _wtoi(argv[2]), y = _wtoi(argv[3]), w = _wtoi(argv[4]), h = _wtoi(argv[5]);
    const std::wstring closeFile = argv[6], saver = argv[7];
    HWND top = nullptr;
    HWND host = previewWindow(inDialog, x, y, w, h, top);
    if (!host)
        return 1;
    pump(200);
    std::wstring command = L"\"" + saver + L"\" /p " + std::to_wstring(reinterpret_cast<std::uintptr_t>(host));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        say("cannot start " + utf8(command) + " (error " + std::to_string(GetLastError()) + ")");
        return 1;
    }
    CloseHandle(pi.hThread);
    POINT at{0, 0};
    ClientToScreen(host, &at);
    say("ready " + std::to_string(reinterpret_cast<std::uintptr_t>(host)) +
        (inDialog ? " at " + std::to_string(at.x) + " " + std::to_string(at.y) : std::string()));
    while (GetFileAttributesW(closeFile.c_str()) == INVALID_FILE_ATTRIBUTES) {
        pump(50);
        DWORD code;
        if (GetExitCodeProcess(pi.hProcess, &code) && code != STILL_ACTIVE) {
            say("saver ended " + std::to_string(code) + " before its window went");
            return 1;
        }
    }
    DestroyWindow(top);
    for (int i = 0; i < 100; ++i) {
        pump(50);
        if (WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(pi.hProcess, &code);
            say("saver ended " + std::to_string(code));
            return code == 0 ? 0 : 1;
        }
    }
    say("saver still running");
    TerminateProcess(pi.hProcess, 9);
    return 1;
}

BOOL CALLBACK collectText(HWND child, LPARAM param)
{
    wchar_t name[32];
    GetClassNameW(child, name, 32);
    if (lstrcmpiW(name, L"Static") == 0) {
        wchar_t text[4096];
        const int n = GetWindowTextW(child, text, 4096);
        auto* best = reinterpret_cast<std::wstring*>(param);
        if (n > int(best->size()))
            best->assign(text, std::size_t(n));
    }
    return TRUE;
}

int box(int argc, wchar_t** argv)
{
    if (argc < 4)
        return 2;
    const std::wstring title = argv[2];
    const int seconds = _wtoi(argv[3]);
    for (int i = 0; i < seconds * 20; ++i) {
        if (HWND b = FindWindowW(L"#32770", title.c_str())) {
            Sleep(300);   // let it show its text
            std::wstring text;
            EnumChildWindows(b, collectText, reinterpret_cast<LPARAM>(&text));
            say(utf8(text));
            PostMessageW(b, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(50);
    }
    say("no message box titled " + utf8(title));
    return 1;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc >= 2 && lstrcmpW(argv[1], L"preview") == 0)
        return preview(argc, argv, false);
    if (argc >= 2 && lstrcmpW(argv[1], L"dialog") == 0)
        return preview(argc, argv, true);
    if (argc >= 2 && lstrcmpW(argv[1], L"box") == 0)
        return box(argc, argv);
    say("usage: WinTestHost preview|dialog X Y W H CLOSEFILE SAVER | box TITLE SECONDS");
    return 2;
}
