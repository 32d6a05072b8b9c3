#include "images/PicturePicker.h"

#include "project/Project.h"
#include "project/SlotNames.h"
#include "show/PictureView.h"
#include "toolkit/Dialogs.h"
#include "toolkit/FileControls.h"
#include "toolkit/Help.h"
#include "toolkit/Hints.h"
#include "toolkit/Look.h"

#include <QGroupBox>
#include <QPushButton>

constexpr int PickerHelpContext = 120;

TGetGraphicForm::TGetGraphicForm(quint32 backgroundColor, QWidget* parent) : QDialog(parent), background_(backgroundColor)
{
    setObjectName(QStringLiteral("GetGraphicForm"));
    SetupFixedDialog(this, 253, 229, QStringLiteral("Press F1 for Help"));
    SetHint(this, QStringLiteral(" Press F1 for Help"));
    SetHelpContext(this, PickerHelpContext);

    GroupBox1 = MakeGroupBox(this, QStringLiteral("GroupBox1"), QStringLiteral(" Select .BMP or .JPG Graphic  "));
    GroupBox1->setGeometry(8, 6, 237, 180);

    Edit1 = new TUpperEdit(GroupBox1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(54, 22, 129, 22);

    FileListBox1 = new TFileListBox(GroupBox1);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setGeometry(54, 50, 129, 121);
    FileListBox1->SetFileEdit(Edit1);
    // Only what a slot may hold: OK leaves out a link as not in the folder.
    FileListBox1->SetLinksListed(false);

    BitBtn1 = MakeBitBtn(this, QStringLiteral("BitBtn1"), QStringLiteral("&View"), TGlyph::View);
    BitBtn1->setGeometry(8, 196, 73, 25);
    BitBtn2 = MakeBitBtn(this, QStringLiteral("BitBtn2"), QStringLiteral("&OK"), TGlyph::OK);
    BitBtn2->setGeometry(90, 196, 73, 25);
    BitBtn3 = MakeBitBtn(this, QStringLiteral("BitBtn3"), QStringLiteral("&Cancel"), TGlyph::Cancel);
    BitBtn3->setGeometry(172, 196, 73, 25);
    // Enter presses the focused button, or OK when no button has the focus.
    for (QPushButton* b : {BitBtn1, BitBtn2, BitBtn3})
        b->setAutoDefault(true);
    BitBtn2->setDefault(true);

    connect(BitBtn1, &QPushButton::clicked, this, &TGetGraphicForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::reject);
    connect(FileListBox1, &TFileListBox::Click, this, &TGetGraphicForm::FileListBox1Click);

    setTabOrder(Edit1, FileListBox1);
    setTabOrder(FileListBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, BitBtn3);
    Edit1->setFocus();
}

void TGetGraphicForm::BitBtn1Click()
{
    const QString name = Edit1->text();
    if (name.isEmpty())
        return;
    TDialogHidden hidden(this);
    // A name of the project folder must name a picture there, not a link
    // that leads elsewhere.
    if (isPlainName(name) && !projectPictureExists(name)) {
        ShowError(missingGraphicText(name));
        return;
    }
    RunCommand([&] { ViewPicture(name, background_); });
}

void TGetGraphicForm::FileListBox1Click() { BitBtn1->setEnabled(true); }

bool TGetGraphicForm::FormCloseQuery(int result)
{
    if (result != QDialog::Accepted || !Edit1->text().isEmpty())
        return true;
    ShowError(QStringLiteral("No Graphic file has been selected"));
    Edit1->setFocus();
    return false;
}

void TGetGraphicForm::done(int r)
{
    if (!FormCloseQuery(r))
        return;
    QDialog::done(r);
}

bool PickProjectGraphic(const ProjectState& project, QString& name)
{
    TGetGraphicForm form(project.Settings.BackgroundColor);
    form.FileListBox1->SetMask(QLatin1String(SlotPictureMask), QStringLiteral("*.BMP;*.JPG"));
    form.FileListBox1->SetDirectory(project.ProjectFolder);
    // Reading the folder puts the mask into the name box; the caller's name
    // replaces it.
    form.Edit1->setText(name);
    if (form.exec() != QDialog::Accepted)
        return false;
    name = form.Edit1->text();
    return true;
}
