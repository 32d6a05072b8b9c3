#pragma once
// The browse-and-copy dialog: walks through any drive and folder, shows BMP
// and JPEG pictures full screen and copies one picture at a time into the
// project folder, where the slots can use it; a photo of another format
// (PNG, HEIC/HEIF, WebP, TIFF, GIF) goes in as a JPEG. It changes no slot.
#include "toolkit/Cursor.h"

#include <QDialog>

#include <thread>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TDirectoryListBox;
class TDriveComboBox;
class TFileListBox;
class TUpperEdit;

class TSMFindForm : public QDialog {
    Q_OBJECT
public:
    // Starts at the current folder (the project folder) and its drive.
    explicit TSMFindForm(QWidget* parent = nullptr);
    ~TSMFindForm() override;

    void BitBtn1Click();   // "View"
    void BitBtn3Click();   // "Copy"
    void DirectoryListBox1Change();
    void DirectoryListBox1Click();
    // Runs however the dialog closes: the project folder becomes the current
    // folder again.
    void FormClose();
    // True while a photo is being converted (Copy, then Yes): the window
    // stays alive with the busy pointer, and closes once it is done.
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
    void openDrive(const QString& folder);
    void convertPhoto(const QString& source, const QString& shownName, const QString& folder, const QString& target);
    void conversionDone(const QString& shownName, const QString& target, const QString& written,
                        const QString& problem);

    std::thread worker_;
    bool converting_ = false;
    int closeWith_ = -1;   // a close asked for while converting
    TCursorShape cursor_ = TCursorShape::Default;
};

// The name under which Copy puts the picture `source` (bare name `name`)
// into the project folder `folder`: its own name when that is free; the name
// of a file there that holds the same bytes (then nothing is copied); else
// the next free short name, so that nothing is overwritten or lost.
QString CopyTargetFor(const QString& folder, const QString& name, const QString& source);

// Makes the photo `source` a JPEG over `background` and writes it into
// `folder` as `target` (a new file, never an existing one). Returns the
// name written, or the name of a file there that already holds the same
// JPEG (a short name of `target`'s); throws EGlimmerError naming
// `shownName` when the photo cannot be read, or the error of the write
// (leaving nothing behind). Safe on any thread.
QString ConvertIntoProjectFolder(const QString& source, const QString& shownName, const QString& folder,
                                 const QString& target, quint32 background);

// Copies `source` (resolved against the current folder) to `destination`.
// Throws "Cannot open file <sourceText>" or "Cannot create file
// <destination>", or the error of a failed read or write; after a failure
// no part of the copy is left behind.
void CopyPictureFile(const QString& source, const QString& sourceText, const QString& destination);

// Runs the browse-and-copy dialog; the project folder is the current folder
// again when it returns.
void BrowseAndCopyImage();
