#pragma once
// The single-image view (TSMTestForm): one picture file centred on the
// background colour over the whole screen, until a key or a mouse button.
#include "show/FullScreenForm.h"

#include <QSize>

#include <exception>
#include <memory>

class TPictureLoad;

class TSMTestForm : public TFullScreenForm {
    Q_OBJECT
public:
    explicit TSMTestForm(quint32 backgroundColor, QWidget* parent = nullptr);
    ~TSMTestForm() override;

    QString PictureFileName;

    // Decodes the file, as its first bytes say, for this screen: upright,
    // halved once when it is at least as large as the screen, and again
    // while it is larger. Returns with the picture in place, or throws when
    // it cannot be decoded, as long as the decode takes a moment; a longer
    // one goes on beside the window, which shows empty meanwhile (a key ends
    // it), and its picture, or its failure (Failure), comes when it ends.
    void LoadPictureFile(const QString& fileName);
    bool Loading() const { return load_ != nullptr; }
    // What ended a decode that went on beside the window; the window closed.
    std::exception_ptr Failure() const { return failure_; }
    // Sizes (halved as decided at the load) and centres the picture.
    void FormActivate();
    void FormMouseDown() override;

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void done(int r) override;

private:
    void takePicture();
    void pictureDecoded();
    void activateOnce();

    quint32 background_;
    std::unique_ptr<TPictureLoad> load_;
    std::exception_ptr failure_;
    QSize shownSize_;
    int halvings_ = 0;
    bool loaded_ = false;
    bool started_ = false;
    bool inputTaken_ = false;
};

// Shows one picture file full screen over `backgroundColor`, centred, until a
// key or a mouse button. A missing or undecodable file is reported and the
// view does not stay open.
void ViewPicture(const QString& fileName, quint32 backgroundColor);
