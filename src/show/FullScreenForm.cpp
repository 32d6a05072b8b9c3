#include "show/FullScreenForm.h"

#include "controls/EnhImage.h"
#include "picture/JPEGBitmap.h"
#include "show/PictureSource.h"
#include "toolkit/Cursor.h"
#include "toolkit/Look.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

TFullScreenForm::TFullScreenForm(quint32 backgroundColor, bool fullScreen, QWidget* parent) : QDialog(parent)
{
    if (fullScreen)
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    Panel1->setFocusPolicy(Qt::NoFocus);
    Panel1->installEventFilter(this);
    QPalette pal = Panel1->palette();
    pal.setColor(QPalette::Window, ColorFromWin(backgroundColor));
    Panel1->setPalette(pal);

    EnhImage1 = new TEnhImage(Panel1);
    EnhImage1->setObjectName(QStringLiteral("EnhImage1"));
    EnhImage1->setGeometry(8, 8, 105, 105);
    EnhImage1->SetAutoSize(true);
    EnhImage1->setFocusPolicy(Qt::NoFocus);
    EnhImage1->installEventFilter(this);
    EnhImage1->hide();   // until its first picture stands in its place

    JpegPicture = std::make_unique<TJPEGBitmap>();
    BmpPicture = std::make_unique<TBitmap>();

    if (fullScreen) {
        if (QScreen* s = QGuiApplication::primaryScreen())
            setGeometry(s->geometry());
        setWindowState(Qt::WindowFullScreen);
    }
    Panel1->setGeometry(rect());
    HideMouseCursor();
}

TFullScreenForm::~TFullScreenForm() { FormClose(); }

TBitmap& TFullScreenForm::PictureFor(const QString& name)
{
    IsJpeg = isJpegName(name);
    return CurrentPicture();
}

TBitmap& TFullScreenForm::CurrentPicture()
{
    return IsJpeg ? static_cast<TBitmap&>(*JpegPicture) : *BmpPicture;
}

QSize TFullScreenForm::ScreenSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(qRound(Panel1->width() * ratio), qRound(Panel1->height() * ratio));
}

QRect TFullScreenForm::PictureRect() const
{
    const qreal ratio = devicePixelRatioF();
    const QRect g = EnhImage1->geometry();
    return QRect(qRound(g.x() * ratio), qRound(g.y() * ratio), qRound(g.width() * ratio), qRound(g.height() * ratio));
}

void TFullScreenForm::SetPictureTop(int top)
{
    EnhImage1->move(EnhImage1->x(), qRound(top / devicePixelRatioF()));
}

void TFullScreenForm::SetPictureLeft(int left)
{
    EnhImage1->move(qRound(left / devicePixelRatioF()), EnhImage1->y());
}

void TFullScreenForm::SetPictureSize(int width, int height)
{
    const qreal ratio = devicePixelRatioF();
    EnhImage1->resize(qRound(width / ratio), qRound(height / ratio));
}

void TFullScreenForm::FitPicture(TBitmap& holder, QSize shown, int halvings)
{
    if (halvings > 0) {
        SetPictureSize(shown.width(), shown.height());
        EnhImage1->SetAutoSize(false);
        EnhImage1->SetScaleStyle(ssStretchXY);
    } else {
        // A picture that fits is shown at its own size, also after a halved
        // one.
        EnhImage1->SetScaleStyle(ssNormal);
        EnhImage1->SetAutoSize(true);
    }
    EnhImage1->SetPicture(&holder);
}

void TFullScreenForm::TakeInput()
{
    if (!isVisible())
        return;
    activateWindow();
    grabKeyboard();
    grabMouse();
}

void TFullScreenForm::ReleaseInput()
{
    releaseKeyboard();
    releaseMouse();
}

void TFullScreenForm::mousePressEvent(QMouseEvent*) { FormMouseDown(); }

void TFullScreenForm::resizeEvent(QResizeEvent* e)
{
    QDialog::resizeEvent(e);
    Panel1->setGeometry(rect());
}

bool TFullScreenForm::eventFilter(QObject* o, QEvent* e)
{
    if ((o == Panel1 || o == EnhImage1) && e->type() == QEvent::MouseButtonPress) {
        FormMouseDown();
        return true;
    }
    return QDialog::eventFilter(o, e);
}

void TFullScreenForm::done(int r)
{
    FormClose();
    QDialog::done(r);
}

void TFullScreenForm::FormClose()
{
    ReleaseInput();
    if (!cursorShown_) {
        cursorShown_ = true;
        ShowMouseCursor();
    }
}
