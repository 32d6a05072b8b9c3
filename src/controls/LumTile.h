#pragma once
// A light-weight background control: fills its rectangle with copies of one
// tile laid edge to edge from its top-left corner, optionally leaving the
// pixels of one colour of the tile see-through so that whatever its parent
// painted beneath shows.
//
// The see-through drawing works like the old raster operations it replaces:
// a mask (white where see-through) is ANDed onto the surface, then the tile,
// whose see-through pixels have been made black, is ORed on top. So switching
// Transparent on changes the tile itself, and switching it off again does not
// bring the blackened pixels back.
#include <QImage>
#include <QRect>
#include <QVector>
#include <QWidget>

class TlumTile : public QWidget {
    Q_OBJECT
public:
    explicit TlumTile(QWidget* parent = nullptr);

    // The tile as it stands (see-through pixels blackened once Transparent
    // was on). Always 32 bits per pixel inside; a null image when empty.
    QImage Image() const { return image_; }
    // Takes the caller's picture as the tile (the pixels are shared until
    // either side changes them); a null image empties the tile.
    void SetImage(const QImage& image);

    bool Transparent() const { return transparent_; }
    void SetTransparent(bool on);

    // 32-bit colour value, 0x02BBGGRR: the see-through colour, taken from the
    // tile's bottom-left pixel (white for a one-bit tile) at every change.
    quint32 TranColor() const { return tranColor_; }
    // Used by nothing; overwritten at the next change of the tile.
    void SetTranColor(quint32 value) { tranColor_ = value; }

    // One bit per pixel, 1 (white) where the tile is see-through. Made while
    // Transparent is on; kept as it was when it is switched off.
    QImage TileMask() const { return mask_; }
    bool IsMonochrome() const { return monochrome_; }

    // Where the tiles go, in painting order: rows from the top, each row from
    // the left; the last ones in a row or column are cut off by the control.
    QVector<QRect> TilePlaces() const;

    // Takes the see-through colour from the tile, prepares the mask and the
    // tile when Transparent is on, and repaints.
    void TileChanged();

    QSize sizeHint() const override { return QSize(64, 64); }

signals:
    void Click();
    void DblClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage image_;
    bool transparent_ = false;
    quint32 tranColor_ = 0;
    QImage mask_;      // Format_Mono
    QImage maskRgb_;   // the mask as 32-bit pixels, ready for the AND
    bool monochrome_ = false;
};

// The main window's background tile (150 x 64, 24 bits per pixel), read from
// the program's resources.
QImage mainWindowTile();
