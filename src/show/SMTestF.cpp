#include "show/SMTestF.h"

#include "controls/EnhImage.h"
#include "picture/JPEGBitmap.h"
#include "project/Project.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"
#include "toolkit/Graphics.h"

TSMTestForm::TSMTestForm(QWidget* parent) : TFullScreenForm(Project().Settings.BackgroundColor, true, parent)
{
    setObjectName(QStringLiteral("SMTestForm"));
}

void TSMTestForm::LoadPictureFile(const QString& fileName)
{
    PictureFileName = fileName;
    PictureFor(fileName).LoadFromFile(fileName);
}

void TSMTestForm::FormActivate()
{
    const TBitmap& picture = CurrentPicture();
    const QSize screen = ScreenSize();
    const int w = picture.Width(), h = picture.Height();
    // At least as large as the screen on either axis: shown at half size.
    if (w >= screen.width() || h >= screen.height()) {
        SetPictureSize(w / 2, h / 2);
        EnhImage1->SetAutoSize(false);
        EnhImage1->SetScaleStyle(ssStretchXY);
    }
    EnhImage1->SetPicture(&picture);
    const QRect r = PictureRect();
    SetPictureTop(screen.height() / 2 - r.height() / 2);
    SetPictureLeft(screen.width() / 2 - r.width() / 2);
}

void TSMTestForm::showEvent(QShowEvent* e)
{
    TFullScreenForm::showEvent(e);
    Panel1->setGeometry(rect());
    if (!started_) {
        started_ = true;
        FormActivate();
        TakeInput();
    }
}

void TSMTestForm::keyPressEvent(QKeyEvent*) { reject(); }

void TSMTestForm::FormMouseDown() { reject(); }

static void viewPicture(const QString& fileName)
{
    TSMTestForm form;
    if (!FileExists(fileName)) {
        form.FormClose();
        ShowError(QStringLiteral("The graphic ") + fileName + QStringLiteral(" was not found."));
        return;
    }
    try {
        form.LoadPictureFile(fileName);
    } catch (const std::exception& e) {
        form.FormClose();
        ShowExceptionReport(e);
        return;
    }
    form.exec();
}

void ViewPicture(const QString& fileName)
{
    viewPicture(fileName);
    // The picture went with the window; its memory need not wait for the next.
    ReleaseSparePictureMemory();
}
