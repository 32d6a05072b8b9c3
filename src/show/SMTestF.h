#pragma once
// The single-image view: one picture file centred on the background colour
// over the whole screen, until a key or a mouse button.
#include <QDialog>
#include <memory>

class TBitmap;
class TEnhImage;
class TJPEGBitmap;

class TSMTestForm : public QDialog {
    Q_OBJECT
public:
    explicit TSMTestForm(QWidget* parent = nullptr);
    ~TSMTestForm() override;

    QWidget* Panel1;
    TEnhImage* EnhImage1;
    QString PictureFileName;
    std::unique_ptr<TJPEGBitmap> JpegPicture;
    std::unique_ptr<TBitmap> BmpPicture;
    bool IsJpeg = false;

    void FormCreate();
    // Loads the file by its extension; throws when it cannot be decoded.
    void LoadPictureFile(const QString& fileName);
    // Sizes (halved when at least as large as the screen) and centres the
    // picture.
    void FormActivate();
    void FormMouseDown();
    void FormClose();
    QSize ScreenSize() const;   // in device pixels
    QRect PictureRect() const;  // in device pixels

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void done(int r) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    bool started_ = false;
    bool cursorShown_ = false;
};

// Shows one picture file full screen, centred, until a key or a mouse button.
// A missing or undecodable file is reported and the view does not open.
void ViewPicture(const QString& fileName);
