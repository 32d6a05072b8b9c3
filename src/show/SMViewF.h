#pragma once
// The full-screen show: the project's pictures one at a time on the
// background colour, in Random or Float mode, until a key or a mouse button.
// The preview and the compiled screensaver's player run this same window;
// only the picture source differs.
#include "picture/ShownPicture.h"
#include "project/SaverSettings.h"
#include "show/FullScreenForm.h"

#include <QSet>
#include <QTimer>
#include <random>

class TPictureSource;

struct TShowOptions {
    bool EndOnInput = true;   // a key or a mouse button ends the show
    bool FullScreen = true;   // frameless, on top, over the whole screen
};

class TSMViewForm : public TFullScreenForm {
    Q_OBJECT
public:
    TSMViewForm(const SaverSettings& settings, TPictureSource& source, TShowOptions options = {}, QWidget* parent = nullptr);

    QTimer Timer1;
    QTimer Timer2;
    int ImageIndex = 1;
    int ShownCount = 0;
    int TickCount = 0;
    int SecondCount = 0;
    bool MoveLeft = true;
    bool MoveUp = true;
    std::mt19937 Rng;

    void FormCreate();
    // Starts the show over with picture 1 at a random place.
    void FormActivate();
    void StartShow(std::uint32_t seed);
    void Timer1Timer();
    void Timer2Timer();
    bool LoadPicture();
    void PlaceAtRandom();
    void FloatStep();
    int Random(int n);   // 0..n-1; 0 when n < 1
    void FormMouseDown() override;

    bool ShowEnded() const { return ended_; }
    const SaverSettings& Settings() const { return settings_; }
    TPictureSource& Source() const { return source_; }

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void done(int r) override;

private:
    // The slot's picture decoded for this screen, the timers held meanwhile.
    TShownPicture loadForScreen(const QString& name);
    void endShow(int result);
    // Puts the picture at a random place that keeps it on the screen.
    void placeRandomly();
    // Stops both timers and lets go of the input while a message is up.
    template <class F>
    void withShowPaused(F&& f);

    SaverSettings settings_;
    TPictureSource& source_;
    TShowOptions options_;
    QSet<int> undecodable_;
    bool started_ = false;
    bool ended_ = false;
};

// True when every slot 1..ImageCount names a picture that is there; else it
// shows the pointer again and reports the first missing one.
bool CheckShowPictures(TSMViewForm& form);

// Runs the show of the open project from the project folder.
void RunShow();
// Runs the show with any source (the player uses it).
void RunShowWith(const SaverSettings& settings, TPictureSource& source, TShowOptions options = {});
