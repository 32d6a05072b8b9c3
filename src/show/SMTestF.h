#pragma once
// The single-image view: one picture file centred on the background colour
// over the whole screen, until a key or a mouse button.
#include "show/FullScreenForm.h"

#include <QSize>

class TSMTestForm : public TFullScreenForm {
    Q_OBJECT
public:
    explicit TSMTestForm(QWidget* parent = nullptr);

    QString PictureFileName;

    // Decodes the file, as its first bytes say, for this screen: upright,
    // halved once when it is at least as large as the screen, and again
    // while it is larger. Throws when it cannot be decoded, and
    // DecodeCancelled when a key ended a slow decode (the window shows,
    // empty, while a decode takes long).
    void LoadPictureFile(const QString& fileName);
    // Sizes (halved as decided at the load) and centres the picture.
    void FormActivate();
    void FormMouseDown() override;

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    void activateOnce();

    QSize shownSize_;
    int halvings_ = 0;
    bool loaded_ = false;
    bool started_ = false;
    bool inputTaken_ = false;
};

// Shows one picture file full screen, centred, until a key or a mouse button.
// A missing or undecodable file is reported and the view does not open.
void ViewPicture(const QString& fileName);
