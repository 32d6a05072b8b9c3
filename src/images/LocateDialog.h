#pragma once
// The browse-and-copy dialog, Locate (TSMFindForm): walks through any drive and folder, shows BMP
// and JPEG pictures full screen and copies pictures into the project folder,
// one or several at a time, where the slots can use them. Each is judged by
// its content at the door (PictureDoor): a photo of another format (PNG,
// HEIC/HEIF, WebP, TIFF, GIF) goes in as a JPEG, and a file that cannot be
// shown is refused. It changes no slot.
#include "images/BackgroundJob.h"

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QStringList>

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
    // Starts at `folder` when given and there, else at the current folder
    // (`project`'s folder), and copies into `project`'s folder (not owned).
    explicit TSMFindForm(ProjectState& project, QWidget* parent = nullptr, const QString& folder = QString());

    void BitBtn1Click();   // "View"
    void BitBtn3Click();   // "Copy"
    void DirectoryListBox1Change();
    void DirectoryListBox1Click();
    // Runs however the dialog closes: the project folder becomes the current
    // folder again.
    void FormClose();
    // True while a photo is being converted (Copy, before the question) or
    // a batch is being brought in: the window stays alive with the busy
    // pointer; a close meanwhile ends the copy and closes the window once
    // the file at hand is done.
    bool Converting() const { return job_.Busy(); }

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

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ProjectState& project_;

    void openDrive(const QString& folder);
    void openTypedFolder();
    void convertPhoto(const QString& source, const QString& shownName, const QString& folder);
    void conversionDone(const QString& shownName, const QString& folder, const TConvertedPhoto& photo,
                        const QString& problem);
    bool closedMeanwhile();
    void copyBatch(const QStringList& sources);
    void bringNext();
    void batchDone();

    // A Copy of several files: what came of each so far.
    struct Batch {
        QStringList sources;
        int next = 0;
        int copied = 0;
        bool refused = false;   // a file was left out for a fault
        QStringList notes;      // what the summary says, file by file
    } batch_;
    BackgroundJob job_{this};
    int closeWith_ = -1;   // a close asked for while busy
};

// What Copy of several files says at the end when not every file went in
// under its own name: how many were copied, then a line for each other file.
// Empty when there is nothing to say.
QString batchSummaryText(int copied, int total, const QStringList& notes);

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

// Writes `bytes` as the new file `destination`, which takes its name only
// when whole and never replaces a file. Throws "Cannot create file
// <destination>" or the error of a failed write.
void writeNewPictureFile(const QString& destination, const QByteArray& bytes);

// Copies `source` (resolved against the current folder) to `destination`.
// Throws "Cannot open file <sourceText>" or "Cannot create file
// <destination>", or the error of a failed read or write. The copy takes
// its name only when whole, and never replaces a file.
void copyPictureFile(const QString& source, const QString& sourceText, const QString& destination);

// Runs the browse-and-copy dialog for `project`; its folder is the current
// folder again when it returns. It opens at the folder it last showed in
// this run of the program, when that is still there.
void BrowseAndCopyImage(ProjectState& project);
