#include "SaverWindow.h"

#include <mmsystem.h>

#include <algorithm>

namespace player {
namespace {

constexpr UINT decodedMessage = WM_APP + 1;
constexpr UINT_PTR parentTimer = 1;
constexpr wchar_t className[] = L"GlimmerShow";

std::wstring wide(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring w(std::size_t(std::max(n, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), w.data(), n);
    return w;
}

// The system timer's resolution at 1 ms while the show runs: the default
// 15.6 ms would make the Float steps of 10 ms uneven.
class FineTimer {
public:
    FineTimer() { timeBeginPeriod(1); }
    ~FineTimer() { timeEndPeriod(1); }
};

bool runningUnderWine()
{
    static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

} // namespace

std::int64_t nowMs()
{
    static const std::int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return std::int64_t(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return std::int64_t(t.QuadPart / frequency * 1000 + t.QuadPart % frequency * 1000 / frequency);
}

SaverWindow::SaverWindow(const StoreView& store, const MappedFile& file, ShowPlace place, HWND parent,
                         const std::wstring& title)
    : store_(store), pictures_(store, file),
      engine_(showSettingsOf(store.settings), pictures_,
              [this] {
                  if (HWND h = hwnd_.load())
                      PostMessageW(h, decodedMessage, 0, 0);
              }),
      place_(place), parent_(parent), title_(title)
{
    background_ = CreateSolidBrush(COLORREF(store.settings.BackgroundColor & 0xFFFFFFu));
}

SaverWindow::~SaverWindow()
{
    engine_.end();
    if (HWND h = hwnd_.exchange(nullptr))
        DestroyWindow(h);
    pointer_.reset();
    DeleteObject(background_);
}

bool SaverWindow::create()
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = procOf;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));   // IDC_ARROW
    wc.lpszClassName = className;
    RegisterClassExW(&wc);

    DWORD style = 0, exStyle = 0;
    int x = 0, y = 0, w = 0, h = 0;
    HWND parent = nullptr;
    switch (place_) {
    case ShowPlace::FullScreen:
        // Every monitor (the virtual screen, whose origin may lie left of or
        // above the primary monitor's).
        style = WS_POPUP;
        exStyle = WS_EX_TOPMOST;
        x = GetSystemMetrics(SM_XVIRTUALSCREEN);
        y = GetSystemMetrics(SM_YVIRTUALSCREEN);
        w = GetSystemMetrics(SM_CXVIRTUALSCREEN);
        h = GetSystemMetrics(SM_CYVIRTUALSCREEN);
        break;
    case ShowPlace::Preview:
        style = WS_CHILD;
        parent = parent_;
        GetClientRect(parent_, &parentArea_);
        w = parentArea_.right - parentArea_.left;
        h = parentArea_.bottom - parentArea_.top;
        break;
    case ShowPlace::OwnWindow: {
        style = WS_OVERLAPPEDWINDOW;
        RECT r{0, 0, 800, 600};
        AdjustWindowRectEx(&r, style, FALSE, 0);
        x = y = CW_USEDEFAULT;
        w = r.right - r.left;
        h = r.bottom - r.top;
        break;
    }
    }
    HWND hwnd = CreateWindowExW(exStyle, className, title_.c_str(), style, x, y, w, h, parent, nullptr, instance, this);
    if (!hwnd)
        return false;
    hwnd_ = hwnd;
    RECT client;
    GetClientRect(hwnd, &client);
    placeArea(client.right, client.bottom);
    if (place_ == ShowPlace::FullScreen)
        pointer_.emplace();
    if (place_ == ShowPlace::Preview)
        SetTimer(hwnd, parentTimer, 250, nullptr);
    ::ShowWindow(hwnd, SW_SHOW);
    if (place_ != ShowPlace::Preview) {
        SetForegroundWindow(hwnd);
        SetFocus(hwnd);
    }
    if (place_ == ShowPlace::FullScreen)
        SetCapture(hwnd);
    return true;
}

int SaverWindow::run()
{
    if (!create())
        return 1;
    const FineTimer timer;
    const std::uint32_t seed = std::uint32_t(nowMs()) ^ std::uint32_t(GetCurrentProcessId()) ^ GetTickCount();
    engine_.start(seed, nowMs());
    advance();
    MSG msg;
    for (;;) {
        DWORD wait = INFINITE;
        if (!finished_) {
            const std::int64_t due = engine_.nextTickAt() - nowMs();
            wait = DWORD(std::clamp<std::int64_t>(due, 0, 1000));
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return int(msg.wParam);
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        advance();
    }
}

void SaverWindow::advance()
{
    HWND hwnd = hwnd_.load();
    if (finished_ || reporting_ || !hwnd)
        return;
    const ShowFrame before = engine_.frame();
    engine_.run(nowMs());
    changed(before);
}

void SaverWindow::placeArea(int clientWidth, int clientHeight)
{
    // The primary monitor lies at (0, 0) of the virtual screen.
    if (place_ == ShowPlace::FullScreen)
        area_ = {-GetSystemMetrics(SM_XVIRTUALSCREEN), -GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CXSCREEN),
                 GetSystemMetrics(SM_CYSCREEN)};
    else
        area_ = {0, 0, clientWidth, clientHeight};
    engine_.setArea(area_.width, area_.height);
}

RECT SaverWindow::onWindow(const PictureRect& r) const
{
    return RECT{r.left + area_.left, r.top + area_.top, r.right() + area_.left, r.bottom() + area_.top};
}

void SaverWindow::changed(const ShowFrame& before)
{
    for (const PictureRect& r : changedAreas(before, engine_.frame())) {
        const RECT rect = onWindow(r);
        InvalidateRect(hwnd_.load(), &rect, FALSE);
    }
    while (std::optional<ShowNotice> notice = engine_.takeNotice())
        report(*notice);
    // Only a picture gone from the store ends it: a damaged file.
    if (engine_.ended() && !finished_)
        finish(1);
}

void SaverWindow::report(const ShowNotice& notice)
{
    std::string text = notice.kind == ShowNotice::Missing
                           ? missingPictureText(store_.settings.Slot(notice.slot).Name())
                           : notice.message;
    if (!text.empty() && text.back() != '.')
        text += '.';
    OutputDebugStringW((L"Glimmer screensaver: " + wide(text) + L"\n").c_str());
    // In the Control Panel's preview no box ever appears; full screen, the
    // show stands still while the box is up.
    if (place_ == ShowPlace::Preview)
        return;
    reporting_ = true;
    const bool hidden = pointer_.has_value();
    if (place_ == ShowPlace::FullScreen)
        ReleaseCapture();
    pointer_.reset();
    MessageBoxW(hwnd_.load(), wide(text).c_str(), L"Glimmer screensaver", MB_OK | MB_ICONERROR | MB_TOPMOST);
    if (hidden)
        pointer_.emplace();
    if (place_ == ShowPlace::FullScreen) {
        if (HWND h = hwnd_.load()) {
            SetForegroundWindow(h);
            SetCapture(h);
        }
    }
    reporting_ = false;
}

void SaverWindow::finish(int code)
{
    if (finished_)
        return;
    finished_ = true;
    exitCode_ = code;
    engine_.end();
    if (HWND h = hwnd_.load())
        DestroyWindow(h);
}

void SaverWindow::followParent()
{
    if (!IsWindow(parent_)) {
        finish(0);
        return;
    }
    // Under Wine the preview's owner puts back what it last drew whenever
    // its window comes uncovered, over the pixels drawn there from here,
    // and this window is not told: all of it is drawn again now and then.
    if (runningUnderWine())
        InvalidateRect(hwnd_.load(), nullptr, FALSE);
    RECT area;
    GetClientRect(parent_, &area);
    if (EqualRect(&area, &parentArea_))
        return;
    parentArea_ = area;
    MoveWindow(hwnd_.load(), 0, 0, area.right - area.left, area.bottom - area.top, TRUE);
}

void SaverWindow::paint()
{
    PAINTSTRUCT ps;
    HWND hwnd = hwnd_.load();
    HDC dc = BeginPaint(hwnd, &ps);
    if (place_ == ShowPlace::Preview && runningUnderWine())
        paintThroughTopWindow(dc, ps.rcPaint);
    else
        draw(dc, ps.rcPaint);
    EndPaint(hwnd, &ps);
}

void SaverWindow::paintThroughTopWindow(HDC ownDc, const RECT& area)
{
    // Wine (8 and earlier) gives a device context of a child window whose
    // top-level window belongs to another process no X drawable: what is
    // drawn through one of this window or of its parent reaches no screen.
    // A context of that top-level window has one, so the same pixels go
    // there, at this window's place and clipped to where it can be seen.
    HWND hwnd = hwnd_.load();
    HWND top = GetAncestor(hwnd, GA_ROOT);
    HRGN visible = CreateRectRgn(0, 0, 0, 0);
    // (Without DCX_CLIPCHILDREN: this window lies inside one of its children.)
    HDC topDc = top ? GetDCEx(top, nullptr, DCX_CACHE) : nullptr;
    if (topDc && visible && GetRandomRgn(ownDc, visible, SYSRGN) == 1) {
        POINT topOrigin{0, 0}, at{0, 0};
        ClientToScreen(top, &topOrigin);
        MapWindowPoints(hwnd, top, &at, 1);
        OffsetRgn(visible, -topOrigin.x, -topOrigin.y);   // screen to the top window's client
        ExtSelectClipRgn(topDc, visible, RGN_COPY);
        SetViewportOrgEx(topDc, at.x, at.y, nullptr);
        IntersectClipRect(topDc, area.left, area.top, area.right, area.bottom);
        draw(topDc, area);
    }
    if (topDc)
        ReleaseDC(top, topDc);
    if (visible)
        DeleteObject(visible);
}

void SaverWindow::draw(HDC dc, const RECT& area)
{
    const ShowFrame& f = engine_.frame();
    if (f.visible && f.picture && !f.picture->pixels.empty()) {
        // Only on the show's monitor: a picture at its edge is cut there.
        const RECT at = onWindow(f.rect), show = onWindow({0, 0, area_.width, area_.height});
        RECT shown{};
        IntersectRect(&shown, &at, &show);
        const int saved = SaveDC(dc);
        IntersectClipRect(dc, shown.left, shown.top, shown.right, shown.bottom);
        const PixelBuffer& px = f.picture->pixels;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = px.width();
        info.bmiHeader.biHeight = -px.height();   // top-down, as the rows are
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        // The decoded picture may be a pixel larger than its shown size.
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchDIBits(dc, at.left, at.top, f.rect.width, f.rect.height, 0, 0, px.width(), px.height(), px.row(0), &info,
                      DIB_RGB_COLORS, SRCCOPY);
        RestoreDC(dc, saved);
        ExcludeClipRect(dc, shown.left, shown.top, shown.right, shown.bottom);
    }
    FillRect(dc, &area, background_);
}

LRESULT CALLBACK SaverWindow::procOf(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<SaverWindow*>(create->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<SaverWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->handle(hwnd, msg, wParam, lParam);
}

LRESULT SaverWindow::handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    const bool fullScreen = place_ == ShowPlace::FullScreen;
    switch (msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
        // Full screen, a key or a button ends the show; moving the mouse does not.
        if (fullScreen && !reporting_) {
            finish(0);
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (fullScreen && !reporting_) {
            SetCursor(nullptr);
            return TRUE;
        }
        break;
    case WM_SYSCOMMAND:
        // No second screensaver over this one.
        if (fullScreen && (wParam & 0xFFF0) == SC_SCREENSAVE)
            return 0;
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paint();
        return 0;
    case WM_SIZE:
        placeArea(LOWORD(lParam), HIWORD(lParam));
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_DISPLAYCHANGE:
        // A monitor came, went or moved: every monitor again, the show on the primary.
        if (fullScreen) {
            SetWindowPos(hwnd, HWND_TOPMOST, GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                         GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN), SWP_NOACTIVATE);
            RECT client;
            GetClientRect(hwnd, &client);
            placeArea(client.right, client.bottom);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        break;
    case WM_TIMER:
        if (wParam == parentTimer) {
            followParent();
            return 0;
        }
        break;
    case decodedMessage:
        // While a box is up the show stands still; the next run takes it.
        if (!reporting_ && !finished_) {
            const ShowFrame before = engine_.frame();
            engine_.pollDecode();
            changed(before);
        }
        return 0;
    case WM_CLOSE:
        finish(0);
        return 0;
    case WM_DESTROY:
        // Also when the preview's parent goes, which takes this window with it.
        finished_ = true;
        engine_.end();
        hwnd_ = nullptr;
        PostQuitMessage(exitCode_);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace player
