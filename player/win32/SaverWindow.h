#pragma once
// The show in a Win32 window: full screen (/s), the background over every
// monitor and the show on the primary one, as the X11 player does; in the
// Control Panel's preview window (/p HWND); or in a window of its own
// (--window). The engine decides everything; this window draws its frame,
// forwards the clock and input, and tells the user what the engine reports.
#include "common/Store.h"
#include "PictureViews.h"
#include "engine/ShowEngine.h"

#include <windows.h>

#include <atomic>
#include <optional>
#include <string>

namespace player {

enum class ShowPlace { FullScreen, Preview, OwnWindow };

// The mouse pointer hidden through the system's display count, lowered
// until it is negative, and shown again by raising it to zero or more.
class PointerHidden {
public:
    PointerHidden()
    {
        while (ShowCursor(FALSE) >= 0) {
        }
    }
    ~PointerHidden()
    {
        while (ShowCursor(TRUE) < 0) {
        }
    }
    PointerHidden(const PointerHidden&) = delete;
    PointerHidden& operator=(const PointerHidden&) = delete;
};

class SaverWindow {
public:
    // `store`, which lies in `file`, outlives this window. `parent` is the
    // preview window (Preview).
    SaverWindow(const StoreView& store, const MappedFile& file, ShowPlace place, HWND parent, const std::wstring& title);
    ~SaverWindow();
    SaverWindow(const SaverWindow&) = delete;
    SaverWindow& operator=(const SaverWindow&) = delete;

    // Runs the show until it ends: 0 when ended by the user (a key or a
    // button full screen, the window closed or gone), 1 when it could not
    // start.
    int run();

private:
    static LRESULT CALLBACK procOf(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool create();
    void advance();
    // Repaints what moved or changed since `before`; tells what the engine reported.
    void changed(const ShowFrame& before);
    void paint();
    // The preview under Wine: the frame drawn into the preview's top-level
    // window, over `area` of this one (`ownDc`, from BeginPaint, tells where
    // this window can be seen).
    void paintThroughTopWindow(HDC ownDc, const RECT& area);
    // The frame into `dc` over `area`: the picture, and the background around it.
    void draw(HDC dc, const RECT& area);
    void report(const ShowNotice& notice);
    void finish(int code);
    void followParent();
    // Where the show runs in the window: the primary monitor full screen,
    // else all of the window.
    void placeArea(int clientWidth, int clientHeight);
    RECT onWindow(const PictureRect& r) const;

    const StoreView& store_;
    PictureViews pictures_;
    ShowEngine engine_;
    ShowPlace place_;
    HWND parent_;
    std::wstring title_;
    std::atomic<HWND> hwnd_{nullptr};
    HBRUSH background_ = nullptr;
    int exitCode_ = 0;
    bool finished_ = false;
    bool reporting_ = false;
    std::optional<PointerHidden> pointer_;   // full screen, but for a box
    RECT parentArea_{};
    PictureRect area_;
};

// Milliseconds of a steady clock.
std::int64_t nowMs();

} // namespace player
