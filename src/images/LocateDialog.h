#pragma once
// The browse-and-copy dialog, Locate (TSMFindForm): walks through any drive and folder, shows BMP
// and JPEG pictures full screen and copies one picture at a time into the
// project folder, where the slots can use it; a photo of another format
// (PNG, HEIC/HEIF, WebP, TIFF, GIF) goes in as a JPEG. It changes no slot.
#include "toolkit/Cursor.h"

#include <QByteArray>
#include <QDialog>
#include <QString>

#include <thread>

struct ProjectState;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TDirectoryListBox;
class TDriveComboBox;
class TFileListBox;
class TUpperEdit;

// A photo made a JPEG for the project folder: its bytes, and the short name
// they go under there.
struct TConvertedPhoto {
    QByteArray Jpeg;
    QString Name;
};

class TSMFindForm : public QDialog {
    Q_OBJECT
public:
    // Starts at the current folder (`project`'s folder) and its drive, and
    // copies into `project`'s folder (not owned).
    explicit TSMFindForm(ProjectState& project, QWidget* parent = nullptr);
    ~TSMFindForm() override;

    void BitBtn1Click();   // "View"
    void BitBtn3Click();   // "Copy"
    void DirectoryListBox1Change();
    void DirectoryListBox1Click();
    // Runs however the dialog closes: the project folder becomes the current
    // folder again.
    void FormClose();
    // True while a photo is being converted (Copy, before the question):
    // the window stays alive with the busy pointer; a close meanwhile ends
    // the copy and closes the window once the conversion is done.
    bool Converting() const { return converting_; }

    void done(int r) override;

    QFrame* Panel1;
    QLabel* DriveLbl;
    TDriveComboBox* DriveComboBox1;
    QLabel* DirectoryLbl;
    QLineEdit* Edit1;
    TDirectoryListBox* DirectoryListBox1;
    QLabel* FileLbl;
    TUpperEdit* Edit2;
    TFileListBox* FileListBox1;
    QPushButton* BitBtn3;   // "Copy"
    QPushButton* BitBtn1;   // "View"
    QPushButton* BitBtn2;   // "&Cancel"

private:
    ProjectState& project_;

    void openDrive(const QString& folder);
    void convertPhoto(const QString& source, const QString& shownName, const QString& folder);
    void conversionDone(const QString& shownName, const QString& folder, const TConvertedPhoto& photo,
                        const QString& problem);

    std::thread worker_;
    bool converting_ = false;
    int closeWith_ = -1;   // a close asked for while converting
    TCursorShape cursor_ = TCursorShape::Default;
};

// The name under which Copy puts the picture `source` (bare name `name`)
// into the project folder `folder`: its own name when that is free; the name
// of a file there that holds the same bytes (then nothing is copied); else
// the next free short name, so that nothing is overwritten or lost. The
// source is read once, through a link, but only an ordinary file.
QString copyTargetFor(const QString& folder, const QString& name, const QString& source);

// Makes the photo `source` a JPEG over `background` for the project folder
// `folder`. Its name there is that of a short-named file that already holds
// the same JPEG (the photo was brought in before, over the same colour), else
// the first free short name. Throws EGlimmerError naming `shownName` when
// the photo cannot be read. Writes nothing; safe on any thread.
TConvertedPhoto convertForProjectFolder(const QString& source, const QString& shownName, const QString& folder,
                                        quint32 background);

// Copies `source` (resolved against the current folder) to `destination`.
// Throws "Cannot open file <sourceText>" or "Cannot create file
// <destination>", or the error of a failed read or write. The copy takes
// its name only when whole, and never replaces a file.
void copyPictureFile(const QString& source, const QString& sourceText, const QString& destination);

// Runs the browse-and-copy dialog for `project`; its folder is the current
// folder again when it returns.
void BrowseAndCopyImage(ProjectState& project);
