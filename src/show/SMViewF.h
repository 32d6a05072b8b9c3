#pragma once
// The full-screen show: the project's pictures one at a time on the
// background colour, in Random or Float mode, until a key or a mouse button.
// The preview and the compiled screensaver's player run this same window;
// only the picture source differs.
#include "project/SaverSettings.h"

#include <QDialog>
#include <QRect>
#include <QSet>
#include <QTimer>
#include <memory>
#include <random>

class TBitmap;
class TEnhImage;
class TJPEGBitmap;
class TPictureSource;

struct TShowOptions {
    bool EndOnInput = true;   // a key or a mouse button ends the show
    bool FullScreen = true;   // frameless, on top, over the whole screen
};

class TSMViewForm : public QDialog {
    Q_OBJECT
public:
    TSMViewForm(const SaverSettings& settings, TPictureSource& source, TShowOptions options = {}, QWidget* parent = nullptr);
    ~TSMViewForm() override;

    QWidget* Panel1;
    TEnhImage* EnhImage1;
    QTimer Timer1;
    QTimer Timer2;

    // The pictures are decoded into these, by extension.
    std::unique_ptr<TJPEGBitmap> JpegPicture;
    std::unique_ptr<TBitmap> BmpPicture;
    bool IsJpeg = false;
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
    void FormMouseDown();
    void FormClose();

    // In device pixels: one picture pixel is one screen pixel.
    QSize ScreenSize() const;
    QRect PictureRect() const;
    void SetPictureTop(int top);
    void SetPictureLeft(int left);
    void SetPictureSize(int width, int height);

    bool ShowEnded() const { return ended_; }
    const SaverSettings& Settings() const { return settings_; }
    TPictureSource& Source() const { return source_; }

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void done(int r) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void endShow(int result);
    // Stops both timers and lets go of the input while a message is up.
    template <class F>
    void withShowPaused(F&& f);

    SaverSettings settings_;
    TPictureSource& source_;
    TShowOptions options_;
    QSet<int> undecodable_;
    bool started_ = false;
    bool ended_ = false;
    bool cursorShown_ = false;
};

// True when every slot 1..ImageCount names a picture that is there; else it
// shows the pointer again and reports the first missing one.
bool CheckShowPictures(TSMViewForm& form);

// Runs the show of the open project from the project folder.
void RunShow();
// Runs the show with any source (the player uses it).
void RunShowWith(const SaverSettings& settings, TPictureSource& source, TShowOptions options = {});
