#pragma once
// The browse-and-copy dialog: walks through any drive and folder, shows BMP
// and JPEG pictures full screen and copies one picture at a time into the
// project folder, where the slots can use it. It changes no slot.
#include <QDialog>

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

    void BitBtn1Click();   // "View"
    void BitBtn3Click();   // "Copy"
    void DirectoryListBox1Change();
    void DirectoryListBox1Click();
    // Runs however the dialog closes: the project folder becomes the current
    // folder again.
    void FormClose();

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
};

// Copies `source` (resolved against the current folder) to `destination`.
// Throws "Cannot open file <sourceText>" or "Cannot create file
// <destination>", or the error of a failed read or write; after a failure
// no part of the copy is left behind.
void CopyPictureFile(const QString& source, const QString& sourceText, const QString& destination);

// Runs the browse-and-copy dialog; the project folder is the current folder
// again when it returns.
void BrowseAndCopyImage();
