#pragma once
// The show in a Win32 window: full screen (/s), over every monitor (the
// virtual screen) with a show of its own on each, as the X11 player does;
// in the Control Panel's preview window (/p HWND); or in a window of its own
// (--window). The engines decide everything; this window draws their frames,
// forwards the clock and input, and tells the user what they report.
#include "PictureViews.h"
#include "common/Geometry.h"
#include "common/ShowRunner.h"
#include "common/Store.h"
#include "engine/ShowEngine.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
    // A show on each area: the window's monitors full screen, else all of it.
    std::vector<PictureRect> showAreas() const;
    // The shows made to fit the areas (after the window's start or a change
    // of monitors).
    void arrange();
    void endShows();
    std::uint32_t seedOfTheMoment();
    // Repaints what moved or changed in a show since `before`; tells what its
    // engine reported.
    void changed(std::size_t show, const ShowFrame& before);
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
    // `r`, in a show over `area`, in the window.
    static RECT onWindow(const PictureRect& r, const PictureRect& area);

    // A show on one area of the window.
    struct MonitorShow {
        PictureRect area;   // in the window
        std::unique_ptr<ShowEngine> engine;
    };

    const StoreView& store_;
    PictureViews pictures_;   // shared by the shows' decoders
    ShowSettings settings_;
    std::vector<MonitorShow> shows_;
    TellOnce told_;
    std::uint32_t starts_ = 0;
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
};

// Milliseconds of a steady clock.
std::int64_t nowMs();

} // namespace player
