#pragma once
// The project dialog (TMakeDirForm): choose a drive and a folder (or type
// the path of a new one) and a screensaver name, with the project files of
// the folder listed.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class TDriveComboBox;
class TDirectoryListBox;
class TFileListBox;
class TUpperEdit;

class TMakeDirForm : public QDialog {
    Q_OBJECT
public:
    explicit TMakeDirForm(QWidget* parent = nullptr);

    TDriveComboBox* DriveComboBox1;
    QLineEdit* Edit1;
    TDirectoryListBox* DirectoryListBox1;
    QLabel* FileLbl;
    TUpperEdit* Edit2;
    TFileListBox* FileListBox1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

    void DirectoryListBox1Click();
    void DirectoryListBox1Change();
    void DriveComboBox1Change(const QString& folder);
    void FileListBox1Click();
    // The close check for OK: true when the dialog may close.
    bool FormCloseQuery();

    void done(int r) override;
};

// Runs the dialog. On OK returns true with the folder (ending in '/') and the
// screensaver name (in capitals).
bool ChooseProject(const QString& mask, int helpContext, const QString& prompt, QString& folder, QString& name);
