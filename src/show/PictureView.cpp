#include "show/PictureView.h"

#include "controls/EnhImage.h"
#include "picture/JPEGBitmap.h"
#include "picture/PhotoConverter.h"
#include "project/SlotNames.h"
#include "show/PictureViewLoad.h"
#include "show/PictureSource.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"
#include "toolkit/Graphics.h"

namespace {
// How long a decode may keep the window's thread before the window shows,
// empty, beside it: a photo is usually done by then, and one that fails at
// once is reported without a window.
constexpr std::chrono::milliseconds quietWait{200};
} // namespace

TSMTestForm::TSMTestForm(quint32 backgroundColor, QWidget* parent)
    : TFullScreenForm(backgroundColor, true, parent), background_(backgroundColor)
{
    setObjectName(QStringLiteral("SMTestForm"));
}

// A decode still under way goes on unseen, or stops.
TSMTestForm::~TSMTestForm() = default;

void TSMTestForm::LoadPictureFile(const QString& fileName)
{
    PictureFileName = fileName;
    PictureFor(fileName);
    // Locate shows a photo of another format as it will come in: by its
    // content, as the door judges it, so that a JPEG named as a PNG is shown
    // as the JPEG it is.
    const bool photo = isConvertedPhotoName(fileName) && !photoFormatOf(fileName).isEmpty();
    auto stream = photo ? nullptr : std::make_shared<THandleStream>(fileName, TFileStream::fmOpenRead);
    bool jpeg = IsJpeg;
    if (stream && isConvertedPhotoName(fileName)) {
        unsigned char head[3] = {};
        jpeg = stream->Read(head, sizeof head) == sizeof head && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
        stream->Seek(0, SEEK_SET);
    }
    load_ = std::make_unique<TPictureLoad>(photo ? decodeOfPhoto(fileName, background_, ScreenSize(), FitRule::AtLeastAsLarge)
                                                 : decodeOfFile(stream, jpeg, ScreenSize(), FitRule::AtLeastAsLarge),
                                           this, [this] { pictureDecoded(); });
    if (load_->WaitFor(quietWait))
        takePicture();
}

void TSMTestForm::takePicture()
{
    const std::unique_ptr<TPictureLoad> load = std::move(load_);
    const TShownPicture shown = load->Take();
    CurrentPicture().SetImage(shown.Image);
    shownSize_ = shown.Size;
    halvings_ = shown.Halvings;
    loaded_ = true;
    if (isVisible())
        activateOnce();
}

void TSMTestForm::pictureDecoded()
{
    if (!load_)
        return;   // taken already, within the quiet wait
    try {
        takePicture();
    } catch (...) {
        // Told once the window is gone: the report must not lie beneath it.
        failure_ = std::current_exception();
        hide();
        done(QDialog::Rejected);
    }
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

void TSMTestForm::done(int r)
{
    load_.reset();   // a decode still under way is no longer wanted
    TFullScreenForm::done(r);
}

static void viewPicture(const QString& fileName, quint32 backgroundColor)
{
    TSMTestForm form(backgroundColor);
    if (!FileExists(fileName)) {
        form.FormClose();
        ShowError(missingGraphicText(fileName));
        return;
    }
    std::exception_ptr failure;
    try {
        form.LoadPictureFile(fileName);
        form.exec();
        failure = form.Failure();
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure)
        return;
    form.FormClose();
    RunCommand([&] { std::rethrow_exception(failure); });
}

void ViewPicture(const QString& fileName, quint32 backgroundColor)
{
    viewPicture(fileName, backgroundColor);
    // The picture went with the window; its memory need not wait for the next.
    releaseSparePictureMemory();
}
