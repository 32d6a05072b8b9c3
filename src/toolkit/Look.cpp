#include "toolkit/Look.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>

QColor TealColor() { return QColor(0, 128, 128); }
QColor AquaColor() { return QColor(0, 255, 255); }

QColor ColorFromWin(quint32 v) { return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF)); }

quint32 WinFromColor(const QColor& c)
{
    return quint32(c.red()) | (quint32(c.green()) << 8) | (quint32(c.blue()) << 16);
}

void ApplyDialogLook(QWidget* dialog)
{
    QPalette pal = dialog->palette();
    pal.setColor(QPalette::Window, TealColor());
    pal.setColor(QPalette::WindowText, Qt::black);
    dialog->setPalette(pal);
    dialog->setAutoFillBackground(true);
    QFont f(QStringLiteral("Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(8);
    f.setBold(true);
    dialog->setFont(f);
}

void MakeCaptionWhite(QWidget* w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    w->setPalette(pal);
}

QIcon GlyphIcon(TGlyph glyph)
{
    if (glyph == TGlyph::None)
        return QIcon();
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    auto pen = [&](QColor c, qreal w) { p.setPen(QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin)); };
    switch (glyph) {
    case TGlyph::OK:
        pen(QColor(0, 128, 0), 2.5);
        p.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(7, 12), QPointF(13, 3)}));
        break;
    case TGlyph::Cancel:
    case TGlyph::Remove:
        pen(QColor(192, 0, 0), 2.5);
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case TGlyph::Help:
    case TGlyph::Info:
        p.setBrush(QColor(0, 64, 192));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(1, 1, 14, 14));
        p.setPen(Qt::white);
        p.setFont(QFont(QStringLiteral("Sans Serif"), 8, QFont::Bold));
        p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, glyph == TGlyph::Help ? QStringLiteral("?") : QStringLiteral("i"));
        break;
    case TGlyph::View:
        pen(Qt::black, 1.2);
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(1, 4, 14, 8));
        p.setBrush(QColor(0, 96, 160));
        p.drawEllipse(QRectF(5.5, 5.5, 5, 5));
        break;
    case TGlyph::Select:
        pen(Qt::black, 1);
        p.setBrush(QColor(255, 255, 224));
        p.drawRect(QRectF(1.5, 2.5, 10, 11));
        p.setBrush(QColor(0, 128, 0));
        p.drawPolygon(QPolygonF({QPointF(8, 6), QPointF(15, 9.5), QPointF(11.5, 10.5), QPointF(10.5, 14)}));
        break;
    case TGlyph::Locate:
    case TGlyph::Folder:
        pen(QColor(128, 96, 0), 1);
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(QRectF(1.5, 4.5, 13, 9));
        p.drawRect(QRectF(1.5, 2.5, 5, 2));
        if (glyph == TGlyph::Locate) {
            pen(Qt::black, 1.5);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(6, 6, 5, 5));
            p.drawLine(QPointF(10.5, 10.5), QPointF(14, 14));
        }
        break;
    case TGlyph::Copy:
        pen(Qt::black, 1);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 8, 10));
        p.setBrush(QColor(224, 240, 255));
        p.drawRect(QRectF(6.5, 4.5, 8, 10));
        break;
    case TGlyph::Save:
        pen(Qt::black, 1);
        p.setBrush(QColor(32, 64, 160));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        break;
    case TGlyph::Color: {
        const QColor cs[4] = {Qt::red, Qt::green, Qt::blue, Qt::yellow};
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 4; ++i) {
            p.setBrush(cs[i]);
            p.drawPie(QRectF(1, 1, 14, 14), i * 90 * 16, 90 * 16);
        }
        break;
    }
    case TGlyph::Quit:
        pen(QColor(128, 0, 0), 1.5);
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2.5, 1.5, 8, 13));
        p.drawLine(QPointF(7, 8), QPointF(15, 8));
        p.drawLine(QPointF(12, 5), QPointF(15, 8));
        p.drawLine(QPointF(12, 11), QPointF(15, 8));
        break;
    case TGlyph::None:
        break;
    }
    p.end();
    QIcon icon(pm);
    return icon;
}

QPushButton* MakeBitBtn(QWidget* parent, const QString& objectName, const QString& caption, TGlyph glyph)
{
    auto* b = new QPushButton(GlyphIcon(glyph), caption, parent);
    b->setObjectName(objectName);
    // Enter presses the button that has the focus, as on every button of
    // the old toolkit; a dialog's default button takes it elsewhere.
    b->setAutoDefault(true);
    return b;
}

QLabel* MakeLabel(QWidget* parent, const QString& objectName, const QString& caption)
{
    auto* l = new QLabel(caption, parent);
    l->setObjectName(objectName);
    MakeCaptionWhite(l);
    return l;
}

QGroupBox* MakeGroupBox(QWidget* parent, const QString& objectName, const QString& caption)
{
    auto* g = new QGroupBox(caption, parent);
    g->setObjectName(objectName);
    MakeCaptionWhite(g);
    return g;
}

void CentreOnScreen(QWidget* w)
{
    QScreen* s = QGuiApplication::primaryScreen();
    if (!s)
        return;
    const QRect r = s->geometry();
    w->move(r.left() + (r.width() - w->width()) / 2, r.top() + (r.height() - w->height()) / 2);
}

void SetupFixedDialog(QWidget* dialog, int clientWidth, int clientHeight, const QString& title)
{
    dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog->setWindowTitle(title);
    dialog->setFixedSize(clientWidth, clientHeight);
    ApplyDialogLook(dialog);
    CentreOnScreen(dialog);
}
