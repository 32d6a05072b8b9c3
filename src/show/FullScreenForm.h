#pragma once
// What the show and the single-image view share: a window over the whole
// screen in one colour, one picture control on it, the holders the pictures
// are decoded into, the hidden pointer, and the end by a key or a mouse
// button. Sizes and places are in device pixels: one picture pixel is one
// screen pixel, whatever the screen's scale.
#include <QDialog>
#include <memory>

class TBitmap;
class TEnhImage;
class TJPEGBitmap;

class TFullScreenForm : public QDialog {
    Q_OBJECT
public:
    // Hides the pointer; `fullScreen` makes a frameless window on top over
    // the whole screen, otherwise an ordinary one.
    TFullScreenForm(quint32 backgroundColor, bool fullScreen, QWidget* parent = nullptr);
    ~TFullScreenForm() override;

    QWidget* Panel1;
    TEnhImage* EnhImage1;
    std::unique_ptr<TJPEGBitmap> JpegPicture;
    std::unique_ptr<TBitmap> BmpPicture;
    bool IsJpeg = false;

    // The holder for a file of that name, as its name suggests (".JPG").
    TBitmap& PictureFor(const QString& name);
    TBitmap& CurrentPicture();

    QSize ScreenSize() const;
    QRect PictureRect() const;
    void SetPictureTop(int top);
    void SetPictureLeft(int left);
    void SetPictureSize(int width, int height);
    // Gives the control the picture in `holder`, decoded for this screen:
    // at its own size when it was not halved, else stretched into its halved
    // size `shown` (AutoSize off, ssStretchXY).
    void FitPicture(TBitmap& holder, QSize shown, int halvings);

    virtual void FormMouseDown() = 0;
    // Lets go of the input and shows the pointer again (once).
    void FormClose();

protected:
    // Takes every key and mouse button of the screen (the window must be up).
    void TakeInput();
    void ReleaseInput();
    void mousePressEvent(QMouseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void done(int r) override;

private:
    bool cursorShown_ = false;
};
