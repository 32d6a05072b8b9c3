#pragma once
// The single-image view: one picture file centred on the background colour
// over the whole screen, until a key or a mouse button.
#include "show/FullScreenForm.h"

class TSMTestForm : public TFullScreenForm {
    Q_OBJECT
public:
    explicit TSMTestForm(QWidget* parent = nullptr);

    QString PictureFileName;

    // Loads the file by its extension; throws when it cannot be decoded.
    void LoadPictureFile(const QString& fileName);
    // Sizes (halved when at least as large as the screen) and centres the
    // picture.
    void FormActivate();
    void FormMouseDown() override;

protected:
    void showEvent(QShowEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    bool started_ = false;
};

// Shows one picture file full screen, centred, until a key or a mouse button.
// A missing or undecodable file is reported and the view does not open.
void ViewPicture(const QString& fileName);
