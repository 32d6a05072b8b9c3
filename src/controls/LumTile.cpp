#include "controls/LumTile.h"

#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>

// Top byte 2 marks a palette-relative RGB value, as the old colour values did.
static constexpr quint32 PaletteRGB = 0x02000000;

static quint32 winFromRgb(QRgb c)
{
    return quint32(qRed(c)) | (quint32(qGreen(c)) << 8) | (quint32(qBlue(c)) << 16);
}

static QRgb rgbFromWin(quint32 v)
{
    return qRgb(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

TlumTile::TlumTile(QWidget* parent) : QWidget(parent)
{
    // Drawn over its parent's surface: no background of its own, no focus.
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(false);
    resize(64, 64);
}

void TlumTile::SetImage(const QImage& image)
{
    if (image.isNull() || image.width() == 0 || image.height() == 0) {
        image_ = QImage();
        monochrome_ = false;
    } else {
        monochrome_ = image.depth() == 1;
        // One pixel layout inside, so that the raster combinations below see
        // plain 0xFFRRGGBB values whatever the picture was stored as.
        image_ = image.format() == QImage::Format_RGB32 ? image : image.convertToFormat(QImage::Format_RGB32);
    }
    TileChanged();
}

void TlumTile::SetTransparent(bool on)
{
    if (on == transparent_)
        return;
    transparent_ = on;
    TileChanged();
}

void TlumTile::TileChanged()
{
    if (image_.isNull())
        tranColor_ = PaletteRGB;   // no pixel to take it from: black
    else if (monochrome_)
        tranColor_ = PaletteRGB | 0xFFFFFF;
    else
        tranColor_ = PaletteRGB | winFromRgb(image_.pixel(0, image_.height() - 1));

    if (transparent_) {
        const int w = image_.width(), h = image_.height();
        mask_ = QImage(w, h, QImage::Format_Mono);
        maskRgb_ = QImage(w, h, QImage::Format_RGB32);
        if (w > 0 && h > 0) {
            mask_.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
            mask_.fill(0);
            const QRgb see = rgbFromWin(tranColor_) & 0xFFFFFF;
            for (int y = 0; y < h; ++y) {
                auto* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
                auto* mrow = reinterpret_cast<QRgb*>(maskRgb_.scanLine(y));
                for (int x = 0; x < w; ++x) {
                    const bool seeThrough = (row[x] & 0xFFFFFF) == see;
                    if (seeThrough) {
                        mask_.setPixel(x, y, 1);
                        row[x] = qRgb(0, 0, 0);   // the AND of the mask into the tile
                    }
                    mrow[x] = seeThrough ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
                }
            }
        }
    }
    update();
}

QVector<QRect> TlumTile::TilePlaces() const
{
    QVector<QRect> places;
    const int tw = image_.width(), th = image_.height();
    if (tw <= 0 || th <= 0)
        return places;
    for (int y = 0; y < height(); y += th)
        for (int x = 0; x < width(); x += tw)
            places.push_back(QRect(x, y, tw, th).intersected(rect()));
    return places;
}

void TlumTile::paintEvent(QPaintEvent*)
{
    if (image_.isNull())
        return;
    QPainter p(this);
    p.setClipRect(rect());
    for (const QRect& r : TilePlaces()) {
        if (!transparent_ || maskRgb_.size() != image_.size()) {
            p.drawImage(r.topLeft(), image_);
            continue;
        }
        // AND clears the places of the opaque pixels and keeps what lies
        // beneath the see-through ones; OR then puts the opaque pixels there.
        p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        p.drawImage(r.topLeft(), maskRgb_);
        p.setCompositionMode(QPainter::RasterOp_SourceOrDestination);
        p.drawImage(r.topLeft(), image_);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
}

void TlumTile::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Click();
    QWidget::mouseReleaseEvent(event);
}

void TlumTile::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit DblClick();
    QWidget::mouseDoubleClickEvent(event);
}

static void initTileResource()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(tile);
        return true;
    }();
    (void)done;
}

QImage mainWindowTile()
{
    initTileResource();
    QImageReader reader(QStringLiteral(":/controls/glimmer-tile.bmp"), "bmp");
    return reader.read();
}
