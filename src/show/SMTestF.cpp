#include "show/SMTestF.h"

#include "controls/EnhImage.h"
#include "picture/JPEGBitmap.h"
#include "picture/PhotoConverter.h"
#include "project/Project.h"
#include "project/SaverSettings.h"
#include "show/PictureLoad.h"
#include "show/PictureSource.h"
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
    TBitmap& holder = PictureFor(fileName);
    // A decode that takes long shows the window, empty, so that a key can
    // end it; one that fails at once never shows it.
    const auto showEmpty = [this] {
        setWindowModality(Qt::ApplicationModal);
        show();
    };
    // Locate shows a photo of another format as it will come in.
    const TShownPicture shown =
        IsConvertedPhotoName(fileName)
            ? LoadPhotoForScreen(fileName, Project().Settings.BackgroundColor, ScreenSize(), FitRule::AtLeastAsLarge,
                                 StopLoading, showEmpty)
            : LoadForScreen(std::make_unique<THandleStream>(fileName, TFileStream::fmOpenRead), IsJpeg, ScreenSize(),
                            FitRule::AtLeastAsLarge, StopLoading, showEmpty);
    holder.SetImage(shown.Image);
    shownSize_ = shown.Size;
    halvings_ = shown.Halvings;
    loaded_ = true;
    if (isVisible())
        activateOnce();
}

void TSMTestForm::FormActivate()
{
    const QSize screen = ScreenSize();
    // At least as large as the screen on either axis: halved, and again
    // while still larger.
    FitPicture(CurrentPicture(), shownSize_, halvings_);
    const QRect r = PictureRect();
    SetPictureTop(screen.height() / 2 - r.height() / 2);
    SetPictureLeft(screen.width() / 2 - r.width() / 2);
    EnhImage1->show();
}

void TSMTestForm::activateOnce()
{
    if (loaded_ && !started_) {
        started_ = true;
        FormActivate();
    }
}

void TSMTestForm::showEvent(QShowEvent* e)
{
    TFullScreenForm::showEvent(e);
    Panel1->setGeometry(rect());
    if (!inputTaken_) {
        inputTaken_ = true;
        TakeInput();
    }
    activateOnce();
}

void TSMTestForm::keyPressEvent(QKeyEvent*) { reject(); }

void TSMTestForm::FormMouseDown() { reject(); }

static void viewPicture(const QString& fileName)
{
    TSMTestForm form;
    if (!FileExists(fileName)) {
        form.FormClose();
        ShowError(MissingGraphicText(fileName));
        return;
    }
    try {
        form.LoadPictureFile(fileName);
    } catch (const DecodeCancelled&) {
        form.FormClose();   // a key ended it while it was still decoding
        return;
    } catch (const std::exception& e) {
        form.hide();   // had a slow decode shown it, the report must not lie beneath it
        form.FormClose();
        ShowExceptionReport(e);
        return;
    }
    if (form.StopLoading)
        return;   // ended by a key just as the decode finished
    form.exec();
}

void ViewPicture(const QString& fileName)
{
    viewPicture(fileName);
    // The picture went with the window; its memory need not wait for the next.
    ReleaseSparePictureMemory();
}
