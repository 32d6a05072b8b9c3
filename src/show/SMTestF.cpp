#include "show/SMTestF.h"

#include "controls/EnhImage.h"
#include "picture/JPEGBitmap.h"
#include "project/Project.h"
#include "show/PictureSource.h"
#include "toolkit/Cursor.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"
#include "toolkit/Look.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

TSMTestForm::TSMTestForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SMTestForm"));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    Panel1->setFocusPolicy(Qt::NoFocus);
    Panel1->installEventFilter(this);
    EnhImage1 = new TEnhImage(Panel1);
    EnhImage1->setObjectName(QStringLiteral("EnhImage1"));
    EnhImage1->SetAutoSize(true);
    EnhImage1->setFocusPolicy(Qt::NoFocus);
    EnhImage1->installEventFilter(this);
    JpegPicture = std::make_unique<TJPEGBitmap>();
    BmpPicture = std::make_unique<TBitmap>();
    FormCreate();
}

TSMTestForm::~TSMTestForm() { FormClose(); }

void TSMTestForm::FormCreate()
{
    if (QScreen* s = QGuiApplication::primaryScreen())
        setGeometry(s->geometry());
    setWindowState(Qt::WindowFullScreen);
    Panel1->setGeometry(rect());
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, ColorFromWin(Project().Settings.BackgroundColor));
    Panel1->setPalette(pal);
    HideMouseCursor();
}

void TSMTestForm::LoadPictureFile(const QString& fileName)
{
    PictureFileName = fileName;
    IsJpeg = IsJpegName(fileName);
    if (IsJpeg)
        JpegPicture->LoadFromFile(fileName);
    else
        BmpPicture->LoadFromFile(fileName);
}

QSize TSMTestForm::ScreenSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(qRound(Panel1->width() * ratio), qRound(Panel1->height() * ratio));
}

QRect TSMTestForm::PictureRect() const
{
    const qreal ratio = devicePixelRatioF();
    const QRect g = EnhImage1->geometry();
    return QRect(qRound(g.x() * ratio), qRound(g.y() * ratio), qRound(g.width() * ratio), qRound(g.height() * ratio));
}

void TSMTestForm::FormActivate()
{
    const TBitmap& picture = IsJpeg ? static_cast<const TBitmap&>(*JpegPicture) : *BmpPicture;
    const QSize screen = ScreenSize();
    const qreal ratio = devicePixelRatioF();
    const int w = picture.Width(), h = picture.Height();
    if (w >= screen.width() || h >= screen.height()) {
        EnhImage1->resize(qRound((w / 2) / ratio), qRound((h / 2) / ratio));
        EnhImage1->SetAutoSize(false);
        EnhImage1->SetScaleStyle(ssStretchXY);
    }
    EnhImage1->SetPicture(&picture);
    const QRect r = PictureRect();
    const int top = screen.height() / 2 - r.height() / 2;
    const int left = screen.width() / 2 - r.width() / 2;
    EnhImage1->move(qRound(left / ratio), qRound(top / ratio));
}

void TSMTestForm::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    Panel1->setGeometry(rect());
    if (!started_) {
        started_ = true;
        FormActivate();
        activateWindow();
        grabKeyboard();
        grabMouse();
    }
}

void TSMTestForm::keyPressEvent(QKeyEvent*) { reject(); }

void TSMTestForm::mousePressEvent(QMouseEvent*) { FormMouseDown(); }

void TSMTestForm::FormMouseDown() { reject(); }

bool TSMTestForm::eventFilter(QObject* o, QEvent* e)
{
    if ((o == Panel1 || o == EnhImage1) && e->type() == QEvent::MouseButtonPress) {
        FormMouseDown();
        return true;
    }
    return QDialog::eventFilter(o, e);
}

void TSMTestForm::done(int r)
{
    FormClose();
    QDialog::done(r);
}

void TSMTestForm::FormClose()
{
    releaseKeyboard();
    releaseMouse();
    if (!cursorShown_) {
        cursorShown_ = true;
        ShowMouseCursor();
    }
}

void ViewPicture(const QString& fileName)
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
