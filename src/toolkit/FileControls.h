#pragma once
// The linked drive box, folder list and file list, and the text box that
// turns its text into capitals. The drive box moves the folder list; the
// folder list makes its folder the current folder and moves the file list; the
// file list keeps its name box filled with the selected bare name or its mask.
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QStringList>

// `text` in capitals, character for character ("ß" stays as it is).
QString UpperCaseName(const QString& text);

// A text box whose text, typed or set, is always in capitals (UpperCaseName).
class TUpperEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TUpperEdit(QWidget* parent = nullptr);
};

// The "drives" of a Linux machine: the root, the home folder and the mounted
// file systems a user would browse.
class TDriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDriveComboBox(QWidget* parent = nullptr);
    static QStringList AvailableDrives();
    static QString DriveOf(const QString& path, const QStringList& drives);
    QString Drive() const;                 // root of the chosen drive, ending in '/'
    void SetDrive(const QString& root);    // without moving the folder list
    // Remembers the folder last open on its drive, as each drive keeps its own.
    void RememberFolder(const QString& folder);
    QString FolderOfDrive(const QString& root) const;
signals:
    void DriveChanged(const QString& folder);   // the folder to open on the new drive
private:
    QMap<QString, QString> lastFolder_;
};

class TDirectoryListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TDirectoryListBox(QWidget* parent = nullptr);
    QString Directory() const { return directory_; }   // no trailing '/', except the root
    // Opens the folder: fills the list and makes it the current folder.
    // Returns false (nothing changes) when it cannot be entered.
    bool SetDirectory(const QString& folder);
    void OpenItem(QListWidgetItem* item);
signals:
    void Change();   // another folder was opened
    void Click();    // an entry was clicked
protected:
    void keyPressEvent(QKeyEvent* event) override;
private:
    void fill();
    QString directory_;
};

class TFileListBox : public QListWidget {
    Q_OBJECT
public:
    explicit TFileListBox(QWidget* parent = nullptr);
    QString Mask() const { return mask_; }
    // `shown` is what the name box shows for the mask (the mask itself when
    // empty): a list may take more than its box says.
    void SetMask(const QString& mask, const QString& shown = QString());
    // Leaves out links too (a list of what a slot may hold); by default a
    // link to an ordinary file is listed.
    void SetLinksListed(bool listed);
    QString Directory() const { return directory_; }
    void SetDirectory(const QString& folder);
    void SetFileEdit(QLineEdit* edit) { fileEdit_ = edit; }
    QLineEdit* FileEdit() const { return fileEdit_; }
    void Update();                       // reads the folder again
    QString FileName() const;            // full path of the selected file, or empty
    // Lets Shift and Ctrl select several files, as the platform's file
    // dialogs do; the name box then shows their names, each in quotes.
    void SetMultiSelect(bool multi);
    QStringList FileNames() const;       // full paths of the selected files, in list order
    static bool MatchesMask(const QString& name, const QString& mask);
    void SelectName(const QString& name);   // as a click on that entry
signals:
    void Click();
private:
    void syncEdit();
    QString mask_ = QStringLiteral("*.*");
    QString shownMask_;
    bool linksListed_ = true;
    QString directory_;
    QLineEdit* fileEdit_ = nullptr;
};
