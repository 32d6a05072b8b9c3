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
    : store_(store), pictures_(store, file), settings_(showSettingsOf(store.settings)), place_(place), parent_(parent),
      title_(title)
{
    background_ = CreateSolidBrush(COLORREF(store.settings.BackgroundColor & 0xFFFFFFu));
}

SaverWindow::~SaverWindow()
{
    endShows();
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
    arrange();
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
    advance();
    MSG msg;
    for (;;) {
        DWORD wait = INFINITE;
        if (!finished_) {
            std::int64_t due = 1000;
            for (const MonitorShow& show : shows_)
                due = std::min(due, show.engine->nextTickAt() - nowMs());
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
    for (std::size_t i = 0; i < shows_.size() && !finished_ && !reporting_; ++i) {
        const ShowFrame before = shows_[i].engine->frame();
        shows_[i].engine->run(nowMs());
        changed(i, before);
    }
}

std::vector<PictureRect> SaverWindow::showAreas() const
{
    RECT client;
    GetClientRect(hwnd_.load(), &client);
    if (place_ != ShowPlace::FullScreen)
        return {{0, 0, int(client.right), int(client.bottom)}};
    // The window covers the virtual screen, whose origin may lie left of or
    // above the primary monitor's.
    std::vector<Monitor> monitors;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM into) -> BOOL {
            MONITORINFO info{};
            info.cbSize = sizeof info;
            if (GetMonitorInfoW(monitor, &info)) {
                const RECT& r = info.rcMonitor;
                reinterpret_cast<std::vector<Monitor>*>(into)->push_back(
                    {{int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)}, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&monitors));
    const PictureRect screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), int(client.right),
                             int(client.bottom)};
    return showAreasIn(screen, monitors, ScreenPolicy::EveryMonitor);
}

void SaverWindow::arrange()
{
    // A show whose area is still there goes on; a new area gets a new show
    // (each with its own places), and the others end.
    std::vector<MonitorShow> kept;
    for (const PictureRect& area : showAreas()) {
        auto same = std::find_if(shows_.begin(), shows_.end(), [&](const MonitorShow& s) { return s.engine && s.area == area; });
        if (same != shows_.end()) {
            kept.push_back(std::move(*same));
            continue;
        }
        auto engine = std::make_unique<ShowEngine>(settings_, pictures_, [this] {
            if (HWND h = hwnd_.load())
                PostMessageW(h, decodedMessage, 0, 0);
        });
        engine->setArea(area.width, area.height);
        engine->start(seedOfTheMoment(), nowMs());
        kept.push_back({area, std::move(engine)});
    }
    endShows();
    shows_ = std::move(kept);
    InvalidateRect(hwnd_.load(), nullptr, FALSE);
}

void SaverWindow::endShows()
{
    for (MonitorShow& show : shows_)
        if (show.engine)
            show.engine->end();
}

std::uint32_t SaverWindow::seedOfTheMoment()
{
    // Shows begun in the same millisecond on several monitors must not take
    // the same places: each start adds its own count.
    return std::uint32_t(nowMs()) ^ std::uint32_t(GetCurrentProcessId()) << 16 ^ GetTickCount() ^ (starts_++ * 0x9E3779B9u);
}

RECT SaverWindow::onWindow(const PictureRect& r, const PictureRect& area)
{
    return RECT{r.left + area.left, r.top + area.top, r.right() + area.left, r.bottom() + area.top};
}

void SaverWindow::changed(std::size_t show, const ShowFrame& before)
{
    const MonitorShow& s = shows_[show];
    for (const PictureRect& r : changedAreas(before, s.engine->frame())) {
        const RECT rect = onWindow(r, s.area);
        InvalidateRect(hwnd_.load(), &rect, FALSE);
    }
    while (std::optional<ShowNotice> notice = s.engine->takeNotice())
        report(*notice);
    // Only a picture gone from the store ends it: a damaged file.
    if (s.engine->ended() && !finished_)
        finish(1);
}

void SaverWindow::report(const ShowNotice& notice)
{
    const std::string name = store_.settings.Slot(notice.slot).Name();
    const std::string text =
        notice.kind == ShowNotice::Missing ? missingPictureText(name) : undecodablePictureText(name, notice.message);
    // Every monitor's show meets the same picture in its turn: told once.
    if (!told_.first(text))
        return;
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
    endShows();
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
    for (const MonitorShow& s : shows_) {
        const ShowFrame& f = s.engine->frame();
        if (!f.visible || !f.picture || f.picture->pixels.empty())
            continue;
        // Only on the show's monitor: a picture at its edge is cut there.
        const RECT at = onWindow(f.rect, s.area), show = onWindow({0, 0, s.area.width, s.area.height}, s.area);
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
        // Full screen, the monitors decide the areas (WM_DISPLAYCHANGE).
        if (!fullScreen && !shows_.empty()) {
            shows_.front().area = {0, 0, LOWORD(lParam), HIWORD(lParam)};
            shows_.front().engine->setArea(LOWORD(lParam), HIWORD(lParam));
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_DISPLAYCHANGE:
        // A monitor came, went or moved: every monitor again, a show on each.
        if (fullScreen) {
            SetWindowPos(hwnd, HWND_TOPMOST, GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                         GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN), SWP_NOACTIVATE);
            arrange();
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
        for (std::size_t i = 0; i < shows_.size() && !reporting_ && !finished_; ++i) {
            const ShowFrame before = shows_[i].engine->frame();
            shows_[i].engine->pollDecode();
            changed(i, before);
        }
        return 0;
    case WM_CLOSE:
        finish(0);
        return 0;
    case WM_DESTROY:
        // Also when the preview's parent goes, which takes this window with it.
        finished_ = true;
        endShows();
        hwnd_ = nullptr;
        PostQuitMessage(exitCode_);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace player
