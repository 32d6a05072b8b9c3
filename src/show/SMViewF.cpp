#include "show/SMViewF.h"

#include "picture/JPEGBitmap.h"
#include "project/Project.h"
#include "controls/EnhImage.h"
#include "show/PictureLoad.h"
#include "show/PictureSource.h"
#include "toolkit/Dialogs.h"

#include <QDateTime>
#include <QKeyEvent>
#include <algorithm>

TSMViewForm::TSMViewForm(const SaverSettings& settings, TPictureSource& source, TShowOptions options, QWidget* parent)
    : TFullScreenForm(settings.BackgroundColor, options.FullScreen, parent), settings_(settings), source_(source), options_(options)
{
    setObjectName(QStringLiteral("SMViewForm"));
    // No help context: every key, F1 included, ends the show.
    settings_.ImageCount = std::clamp(settings_.ImageCount, 0, MaxImages);
    connect(&Timer1, &QTimer::timeout, this, &TSMViewForm::Timer1Timer);
    connect(&Timer2, &QTimer::timeout, this, &TSMViewForm::Timer2Timer);
    FormCreate();
}

void TSMViewForm::FormCreate()
{
    // The motion's pace: every 1000 - FloatSpeed ms (101 ms slowest, 1 ms
    // fastest); Random mode counts seconds.
    Timer1.setInterval(settings_.IsFloat() ? std::max(1, 1000 - settings_.FloatSpeed) : 1000);
    Timer2.setInterval(1000);
}

void TSMViewForm::showEvent(QShowEvent* e)
{
    TFullScreenForm::showEvent(e);
    Panel1->setGeometry(rect());
    if (!started_) {
        started_ = true;
        // Once the window's own event loop runs: a key can then end the show
        // even while its first picture is decoding.
        QMetaObject::invokeMethod(this, [this] { FormActivate(); }, Qt::QueuedConnection);
    }
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
    Rng.seed(seed);
    TickCount = 0;
    ShownCount = 1;
    SecondCount = 0;
    Timer1.start();
    Timer2.start();
    EnhImage1->hide();
    ImageIndex = 1;
    LoadPicture();
    placeRandomly();
    EnhImage1->show();
    MoveUp = true;
    MoveLeft = true;
}

int TSMViewForm::Random(int n)
{
    // A picture larger than the screen leaves no room to choose from: it
    // stands at 0 on that axis.
    if (n < 1)
        return 0;
    return std::uniform_int_distribution<int>(0, n - 1)(Rng);
}

template <class F>
void TSMViewForm::withShowPaused(F&& f)
{
    const bool t1 = Timer1.isActive(), t2 = Timer2.isActive();
    Timer1.stop();
    Timer2.stop();
    ReleaseInput();
    f();
    if (ended_)
        return;
    if (t1)
        Timer1.start();
    if (t2)
        Timer2.start();
    if (options_.EndOnInput)
        TakeInput();
}

bool TSMViewForm::LoadPicture()
{
    const int count = std::max(1, settings_.ImageCount);
    // A picture that cannot be decoded is reported once; the show goes on
    // with the next one that can.
    for (int tries = 0; tries < count; ++tries) {
        const QString name = settings_.Slot(ImageIndex).Name();
        if (!source_.Exists(name)) {
            withShowPaused([&] { ShowError(QStringLiteral("The graphic ") + name + QStringLiteral(" was not found.")); });
            endShow(QDialog::Rejected);
            return false;
        }
        if (!undecodable_.contains(ImageIndex)) {
            try {
                // Halved until it fits: a picture still larger than the
                // screen after one halving would stand cropped and still.
                const TShownPicture shown = loadForScreen(name);
                TBitmap& picture = PictureFor(name);
                picture.SetImage(shown.Image);
                FitPicture(picture, shown.Size, shown.Halvings);
                return true;
            } catch (const DecodeCancelled&) {
                // The show is ending (a key, or the program itself).
                if (!ended_)
                    endShow(QDialog::Rejected);
                return false;
            } catch (const std::exception& e) {
                undecodable_.insert(ImageIndex);
                withShowPaused([&] { ShowExceptionReport(e); });
                if (ended_)
                    return false;
            }
        }
        if (++ImageIndex > count)
            ImageIndex = 1;
    }
    return false;
}

TShownPicture TSMViewForm::loadForScreen(const QString& name)
{
    std::unique_ptr<TStream> stream = source_.Open(name);
    // No tick may come while the event loop runs beside a long decode.
    const bool t1 = Timer1.isActive(), t2 = Timer2.isActive();
    Timer1.stop();
    Timer2.stop();
    struct Resume {
        TSMViewForm& f;
        bool t1, t2;
        ~Resume()
        {
            if (f.ended_)
                return;
            if (t1)
                f.Timer1.start();
            if (t2)
                f.Timer2.start();
        }
    } resume{*this, t1, t2};
    return LoadForScreen(std::move(stream), IsJpegName(name), ScreenSize(), FitRule::LargerThan, StopLoading);
}

void TSMViewForm::PlaceAtRandom()
{
    ++ShownCount;
    EnhImage1->hide();
    Panel1->repaint();
    placeRandomly();
    EnhImage1->show();
}

void TSMViewForm::placeRandomly()
{
    const QSize screen = ScreenSize();
    const QRect pic = PictureRect();
    // x is drawn first, then y; the top is set before the left.
    const int x = Random(screen.width() - pic.width());
    const int y = Random(screen.height() - pic.height());
    SetPictureTop(y);
    SetPictureLeft(x);
}

void TSMViewForm::Timer1Timer()
{
    if (ended_)
        return;
    const int count = std::max(1, settings_.ImageCount);
    if (!settings_.IsFloat()) {
        // Float mode has no use for the count, and would run it past its
        // range in weeks of fast ticks.
        ++TickCount;
        if (TickCount < settings_.DisplaySeconds)
            return;
        if (ShownCount != settings_.DisplayTimes) {
            TickCount = 0;
            PlaceAtRandom();
            return;
        }
        if (++ImageIndex > count)
            ImageIndex = 1;
        if (count > 1)
            LoadPicture();
        if (ended_)
            return;
        ShownCount = 0;
        TickCount = 0;
        const bool running = Timer1.isActive();
        Timer1.stop();
        PlaceAtRandom();
        if (running)
            Timer1.start();
        return;
    }
    if (SecondCount >= settings_.ChangeEvery) {
        const bool running = Timer2.isActive();
        Timer2.stop();
        SecondCount = 0;
        if (++ImageIndex > count)
            ImageIndex = 1;
        if (count > 1)
            LoadPicture();
        if (ended_)
            return;
        if (running)
            Timer2.start();
    }
    FloatStep();
}

void TSMViewForm::Timer2Timer()
{
    if (!ended_)
        ++SecondCount;
}

void TSMViewForm::FloatStep()
{
    QRect r = PictureRect();
    const QSize screen = ScreenSize();
    int L = r.left(), T = r.top();
    if (L <= 0)
        MoveLeft = false;
    if (T <= 0)
        MoveUp = false;
    L += MoveLeft ? -5 : 5;
    T += MoveUp ? -5 : 5;
    if (L > screen.width() - r.width())
        MoveLeft = true;
    if (T > screen.height() - r.height())
        MoveUp = true;
    // Moving the control repaints only what it uncovers and covers.
    const qreal ratio = devicePixelRatioF();
    EnhImage1->move(qRound(L / ratio), qRound(T / ratio));
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
    StopLoading = true;
    Timer1.stop();
    Timer2.stop();
    if (isVisible())
        done(result);
    else
        setResult(result);
}

void TSMViewForm::done(int r)
{
    ended_ = true;
    Timer1.stop();
    Timer2.stop();
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
    for (int k = 1; k <= s.ImageCount; ++k) {
        const QString name = s.Slot(k).Name();
        if (!form.Source().Exists(name)) {
            form.FormClose();
            ShowError(QStringLiteral("The graphic ") + name + QStringLiteral(" was not found."));
            return false;
        }
    }
    return true;
}

void RunShowWith(const SaverSettings& settings, TPictureSource& source, TShowOptions options)
{
    {
        TSMViewForm form(settings, source, options);
        if (CheckShowPictures(form))
            form.exec();
    }
    // The pictures went with the window; their memory need not wait for the next.
    ReleaseSparePictureMemory();
}

void RunShow()
{
    TFolderPictureSource source;
    RunShowWith(Project().Settings, source);
}
