#include "show/ShowWindow.h"

#include "controls/EnhImage.h"
#include "picture/JPEGBitmap.h"
#include "picture/ShownPicture.h"
#include "project/Project.h"
#include "show/PictureSource.h"
#include "toolkit/Dialogs.h"

#include <QDateTime>
#include <QKeyEvent>
#include <algorithm>

TSMViewForm::TSMViewForm(const SaverSettings& settings, TPictureSource& source, TShowOptions options,
                         DecodeWorker::Mode decoding, QWidget* parent)
    : TFullScreenForm(settings.BackgroundColor, options.FullScreen, parent),
      settings_(settings.WithoutEmptySlots()), source_(source), options_(options)
{
    setObjectName(QStringLiteral("SMViewForm"));
    // No help context: every key, F1 included, ends the show.
    pictures_ = std::make_unique<TSlotPictures>(settings_, source_);
    // The worker's word that a picture is decoded comes back to this thread.
    auto wake = [this] { QMetaObject::invokeMethod(this, [this] { sync(); }, Qt::QueuedConnection); };
    engine_ = std::make_unique<ShowEngine>(showSettingsOf(settings_), *pictures_, wake, decoding);
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, [this] { sync(); });
    clock_.start();
    FormCreate();
}

// The engine (and its worker) ends before anything it reports to.
TSMViewForm::~TSMViewForm() { engine_.reset(); }

void TSMViewForm::FormCreate()
{
    const QSize area = ScreenSize();
    engine_->setArea(area.width(), area.height());
}

void TSMViewForm::showEvent(QShowEvent* e)
{
    TFullScreenForm::showEvent(e);
    Panel1->setGeometry(rect());
    if (!started_) {
        started_ = true;
        // Once the window's own event loop runs.
        QMetaObject::invokeMethod(this, [this] { FormActivate(); }, Qt::QueuedConnection);
    }
}

void TSMViewForm::resizeEvent(QResizeEvent* e)
{
    TFullScreenForm::resizeEvent(e);
    const QSize area = ScreenSize();
    engine_->setArea(area.width(), area.height());
}

void TSMViewForm::FormActivate()
{
    if (ended_)
        return;
    // Every key and every mouse button on the screen reaches the show.
    if (options_.EndOnInput)
        TakeInput();
    StartShow(std::uint32_t(QDateTime::currentMSecsSinceEpoch()));
}

void TSMViewForm::StartShow(std::uint32_t seed)
{
    FormCreate();
    engine_->start(seed, now());
    sync();
}

void TSMViewForm::Timer1Timer()
{
    engine_->timer1Tick();
    refresh();
}

void TSMViewForm::Timer2Timer()
{
    engine_->timer2Tick();
    refresh();
}

void TSMViewForm::LoadPicture()
{
    engine_->LoadPicture();
    refresh();
}

void TSMViewForm::PlaceAtRandom()
{
    engine_->PlaceAtRandom();
    refresh();
}

void TSMViewForm::FloatStep()
{
    engine_->FloatStep();
    refresh();
}

void TSMViewForm::sync()
{
    if (ended_ || telling_)
        return;
    // A show stepped by hand (the tests) keeps no time of its own.
    if (started_)
        engine_->run(now());
    else
        engine_->pollDecode();
    if (refresh() && started_)
        Timer1.start(int(std::clamp<std::int64_t>(engine_->nextTickAt() - now(), 0, 1000)));
}

bool TSMViewForm::refresh()
{
    draw();
    tellNotices();
    if (ended_)
        return false;
    if (engine_->ended()) {
        endShow(QDialog::Rejected);
        return false;
    }
    return true;
}

void TSMViewForm::draw()
{
    const ShowFrame& frame = engine_->frame();
    if (frame.picture != drawn_.picture && frame.picture) {
        TBitmap& holder = PictureFor(slotName(settings_.Slot(frame.slot)));
        holder.SetImage(imageOf(frame.picture));
        FitPicture(holder, QSize(frame.rect.width, frame.rect.height), frame.picture->halvings);
    }
    if (!frame.visible) {
        EnhImage1->hide();
    } else {
        if (frame.rect.left != drawn_.rect.left || frame.rect.top != drawn_.rect.top || !drawn_.visible) {
            // Moving the control repaints only what it uncovers and covers.
            const qreal ratio = devicePixelRatioF();
            EnhImage1->move(qRound(frame.rect.left / ratio), qRound(frame.rect.top / ratio));
        }
        EnhImage1->show();
    }
    drawn_ = frame;
}

void TSMViewForm::tellNotices()
{
    while (std::optional<ShowNotice> notice = engine_->takeNotice()) {
        // No tick comes while a message is up, and the input is the box's.
        telling_ = true;
        const bool beating = Timer1.isActive();
        Timer1.stop();
        ReleaseInput();
        if (notice->kind == ShowNotice::Missing)
            ShowError(missingGraphicText(slotName(settings_.Slot(notice->slot))));
        else
            ShowErrorReport(MessageText(notice->message));
        telling_ = false;
        if (ended_)
            return;
        if (beating)
            Timer1.start(0);
        if (options_.EndOnInput)
            TakeInput();
    }
}

void TSMViewForm::keyPressEvent(QKeyEvent*)
{
    if (options_.EndOnInput)
        endShow(QDialog::Accepted);
}

void TSMViewForm::FormMouseDown()
{
    if (options_.EndOnInput)
        endShow(QDialog::Accepted);
}

void TSMViewForm::endShow(int result)
{
    ended_ = true;
    engine_->end();
    Timer1.stop();
    if (isVisible())
        done(result);
    else
        setResult(result);
}

void TSMViewForm::done(int r)
{
    ended_ = true;
    engine_->end();
    Timer1.stop();
    TFullScreenForm::done(r);
}

void TSMViewForm::closeEvent(QCloseEvent* e)
{
    FormClose();
    TFullScreenForm::closeEvent(e);
}

bool CheckShowPictures(TSMViewForm& form)
{
    const SaverSettings& s = form.Settings();
    if (s.ImageCount == 0) {
        form.FormClose();
        ShowError(QStringLiteral("The screensaver has no pictures to show."));
        return false;
    }
    for (int k = 1; k <= s.ImageCount; ++k) {
        const QString name = slotName(s.Slot(k));
        if (!form.Source().Exists(name)) {
            form.FormClose();
            ShowError(missingGraphicText(name));
            return false;
        }
    }
    return true;
}

void runShowWith(const SaverSettings& settings, TPictureSource& source, TShowOptions options)
{
    {
        TSMViewForm form(settings, source, options);
        if (CheckShowPictures(form))
            form.exec();
    }
    // The pictures went with the window; their memory need not wait for the next.
    releaseSparePictureMemory();
}

void RunShow(const SaverSettings& settings)
{
    TFolderPictureSource source;
    runShowWith(settings, source);
}
