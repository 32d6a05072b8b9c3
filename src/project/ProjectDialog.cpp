#include "project/ProjectDialog.h"

#include "project/Project.h"
#include "toolkit/Dialogs.h"
#include "toolkit/FileControls.h"
#include "toolkit/Files.h"
#include "toolkit/Help.h"
#include "toolkit/Hints.h"
#include "toolkit/Look.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

TMakeDirForm::TMakeDirForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("MakeDirForm"));
    SetupFixedDialog(this, 350, 268, QStringLiteral("Press F1 for Help"));
    SetHint(this, QStringLiteral(" Press F1 for Help"));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(8, 8, 334, 218);

    MakeLabel(panel, QStringLiteral("DriveLbl"), QStringLiteral("Select  Drive :"))->setGeometry(10, 8, 200, 14);
    DriveComboBox1 = new TDriveComboBox(panel);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(10, 24, 314, 22);

    MakeLabel(panel, QStringLiteral("DirectoryLbl"), QStringLiteral("Create or Select a Folder "))->setGeometry(10, 52, 220, 14);
    Edit1 = new QLineEdit(panel);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(10, 68, 314, 22);

    DirectoryListBox1 = new TDirectoryListBox(panel);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(10, 96, 142, 112);

    FileLbl = MakeLabel(panel, QStringLiteral("FileLbl"), QString());
    FileLbl->setGeometry(158, 96, 170, 13);
    Edit2 = new TUpperEdit(panel);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(158, 112, 166, 22);
    FileListBox1 = new TFileListBox(panel);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setGeometry(158, 140, 166, 68);
    FileListBox1->SetFileEdit(Edit2);

    BitBtn1 = MakeBitBtn(this, QStringLiteral("BitBtn1"), QStringLiteral("&OK"), TGlyph::OK);
    BitBtn1->setGeometry(86, 234, 82, 26);
    BitBtn1->setDefault(true);
    BitBtn2 = MakeBitBtn(this, QStringLiteral("BitBtn2"), QStringLiteral("&Cancel"), TGlyph::Cancel);
    BitBtn2->setGeometry(182, 234, 82, 26);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    connect(DriveComboBox1, &TDriveComboBox::DriveChanged, this, &TMakeDirForm::DriveComboBox1Change);
    connect(DirectoryListBox1, &TDirectoryListBox::Change, this, &TMakeDirForm::DirectoryListBox1Change);
    connect(DirectoryListBox1, &TDirectoryListBox::Click, this, &TMakeDirForm::DirectoryListBox1Click);
    connect(FileListBox1, &TFileListBox::Click, this, &TMakeDirForm::FileListBox1Click);

    setTabOrder(DriveComboBox1, Edit1);
    setTabOrder(Edit1, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, Edit2);
    setTabOrder(Edit2, FileListBox1);
    setTabOrder(FileListBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    DirectoryListBox1->SetDirectory(GetCurrentDir());
    DriveComboBox1->setFocus();
}

void TMakeDirForm::DirectoryListBox1Click() { Edit1->setText(DirectoryListBox1->Directory()); }

void TMakeDirForm::DirectoryListBox1Change()
{
    Edit1->setText(DirectoryListBox1->Directory());
    DriveComboBox1->RememberFolder(DirectoryListBox1->Directory());
    DriveComboBox1->SetDrive(TDriveComboBox::DriveOf(DirectoryListBox1->Directory(), TDriveComboBox::AvailableDrives()));
    FileListBox1->SetDirectory(DirectoryListBox1->Directory());
}

void TMakeDirForm::DriveComboBox1Change(const QString& folder)
{
    // A drive that cannot be entered leaves the folder list where it was.
    if (!DirectoryListBox1->SetDirectory(folder))
        DirectoryListBox1->SetDirectory(DriveComboBox1->Drive());
}

void TMakeDirForm::FileListBox1Click() { Edit2->setText(ExtractFileName(FileListBox1->FileName())); }

bool TMakeDirForm::FormCloseQuery()
{
    static const QString forbidden = QStringLiteral(" \"*+,/:;<=>?[]|");
    const QString name = Edit2->text();
    for (const QChar c : name) {
        if (forbidden.contains(c)) {
            ShowError(QStringLiteral("A correct filename must be entered."));
            Edit2->setFocus();
            return false;
        }
    }
    // "A\" names no screensaver: nothing is left once the folder part goes.
    if (name.isEmpty() || screenSaverNameOf(projectFileFor(name)).isEmpty()) {
        ShowError(QStringLiteral("A filename must be entered."));
        Edit2->setFocus();
        return false;
    }
    return true;
}

void TMakeDirForm::done(int r)
{
    if (r == QDialog::Accepted && !FormCloseQuery())
        return;
    QDialog::done(r);
}

bool ChooseProject(const QString& mask, int helpContext, const QString& prompt, QString& folder, QString& name)
{
    TMakeDirForm form;
    SetHelpContext(&form, helpContext);
    form.FileLbl->setText(prompt);
    form.Edit1->setText(form.DirectoryListBox1->Directory());
    form.FileListBox1->SetMask(mask);
    form.Edit2->setText(ExtractFileName(form.FileListBox1->FileName()));
    if (form.exec() != QDialog::Accepted)
        return false;
    // An empty folder box means the folder the list has open, never the root.
    const QString typed = form.Edit1->text();
    folder = IncludeTrailingPathDelimiter(typed.isEmpty() ? form.DirectoryListBox1->Directory() : typed);
    name = form.Edit2->text();
    return true;
}
