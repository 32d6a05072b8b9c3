#pragma once
// The full-screen show of the preview (TSMViewForm): the show engine's
// answers drawn on a window over the whole screen, and the keys, mouse
// buttons and messages of the show forwarded. The show itself (what to show where, and when) is the
// engine's; this window only draws it.
#include "engine/ShowEngine.h"
#include "project/SlotNames.h"
#include "show/FullScreenForm.h"

#include <QElapsedTimer>
#include <QTimer>
#include <memory>

class TPictureSource;

struct TShowOptions {
    bool EndOnInput = true;   // a key or a mouse button ends the show
    bool FullScreen = true;   // frameless, on top, over the whole screen
};

class TSMViewForm : public TFullScreenForm {
    Q_OBJECT
public:
    // `decoding`: Inline decodes every picture at once where it is due (the
    // tests step the show that way); a show on the screen decodes ahead.
    TSMViewForm(const SaverSettings& settings, TPictureSource& source, TShowOptions options = {},
                DecodeWorker::Mode decoding = DecodeWorker::Mode::Thread, QWidget* parent = nullptr);
    ~TSMViewForm() override;

    // The show's beat: wakes when the engine's next tick is due.
    QTimer Timer1;

    void FormCreate();
    // Starts the show over with picture 1 at a random place.
    void FormActivate();
    void StartShow(std::uint32_t seed);
    // The handlers by their old names, forwarded to the engine.
    void Timer1Timer();
    void Timer2Timer();
    void LoadPicture();
    void PlaceAtRandom();
    void FloatStep();
    void FormMouseDown() override;

    ShowEngine& Engine() { return *engine_; }
    bool ShowEnded() const { return ended_; }
    const SaverSettings& Settings() const { return settings_; }
    TPictureSource& Source() const { return source_; }

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void done(int r) override;

private:
    // Draws what the engine answers, tells the user what it reports, and
    // sets the beat for its next tick.
    void sync();
    // Draws and tells what the engine answers after one of its steps; false
    // when the show has ended.
    bool refresh();
    void tellNotices();
    void draw();
    std::int64_t now() const { return clock_.elapsed(); }
    void endShow(int result);

    SaverSettings settings_;
    TPictureSource& source_;
    TShowOptions options_;
    std::unique_ptr<ShowPictures> pictures_;
    std::unique_ptr<ShowEngine> engine_;
    QElapsedTimer clock_;
    ShowFrame drawn_;
    bool started_ = false;
    bool ended_ = false;
    bool telling_ = false;
};

// True when every slot 1..ImageCount names a picture that is there (the
// form's record has its empty slots left out); else it shows the pointer
// again and reports the first missing one, or that none is left.
bool CheckShowPictures(TSMViewForm& form);

// Runs the show of `settings` from the project folder (the current folder).
void RunShow(const SaverSettings& settings);
// Runs the show with any source (the player uses it).
void runShowWith(const SaverSettings& settings, TPictureSource& source, TShowOptions options = {});
