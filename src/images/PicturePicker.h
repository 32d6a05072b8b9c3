#pragma once
// The graphic picker (TGetGraphicForm): the BMP and JPEG pictures of the
// project folder (the ordinary files, no links), one of which the user picks
// (or whose name is typed) for a slot of the editor.
#include "toolkit/Dialogs.h"

#include <QDialog>

struct ProjectState;

class QGroupBox;
class QPushButton;
class TFileListBox;
class TUpperEdit;

class TGetGraphicForm : public QDialog {
    Q_OBJECT
public:
    // `backgroundColor`: the project's, which View shows the picture on.
    explicit TGetGraphicForm(quint32 backgroundColor, QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    TUpperEdit* Edit1;
    TFileListBox* FileListBox1;
    QPushButton* BitBtn1;   // &View
    QPushButton* BitBtn2;   // &OK
    QPushButton* BitBtn3;   // &Cancel

    void BitBtn1Click();
    void FileListBox1Click();
    // The close check: true when the dialog may close with `result`.
    bool FormCloseQuery(int result);

    void done(int r) override;

private:
    quint32 background_;
};

// The pictures a slot may hold, as file masks: bitmaps, and JPEGs under
// every name they go by (their first bytes decide how they are read).
inline constexpr char SlotPictureMask[] = "*.bmp;*.jpg;*.jpeg;*.jpe";

// Runs the picker over `project`'s folder with `name` in its name box. On OK
// returns true with the name box's text (in capitals) in `name`; otherwise
// `name` stays as it was.
bool PickProjectGraphic(const ProjectState& project, QString& name);

