// The tiled background: where the tiles go, what shows through the
// see-through colour, and how that colour follows the tile.
#include "controls/LumTile.h"

#include <QFile>
#include <QPainter>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

constexpr quint32 TopByte2 = 0x02000000;

// A tile whose every pixel tells where it lies, so that a wrongly placed or
// wrongly clipped tile shows up in any pixel.
QImage numberedTile(int w, int h, QRgb bottomLeft)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x & 0xFF, (y * 3) & 0xFF, 100 + (x + y) % 100));
    img.setPixel(0, h - 1, bottomLeft);
    return img;
}

// The parent paints a known ground; the tile is drawn over it.
class Ground : public QWidget {
public:
    explicit Ground(QColor c) : colour(c) {}
    QColor colour;
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), colour);
    }
};

QImage render(QWidget& w)
{
    QImage out(w.size(), QImage::Format_RGB32);
    out.fill(Qt::magenta);
    w.render(&out);
    return out;
}

} // namespace

TEST(LumTilePlaces, TheMainWindowTileFills640x399InSevenRowsOfFive)
{
    TlumTile tile;
    tile.SetImage(mainWindowTile());
    tile.resize(640, 399);
    const QVector<QRect> places = tile.TilePlaces();
    ASSERT_EQ(places.size(), 35);
    // Rows from the top, each row from the left.
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
            EXPECT_EQ(places[row * 5 + col].topLeft(), QPoint(col * 150, row * 64)) << row << "," << col;
    EXPECT_EQ(places[4].width(), 40);     // the last column shows 40 pixels of the width
    EXPECT_EQ(places[30].height(), 15);   // the last row 15 pixels of the height
    EXPECT_EQ(places[34].size(), QSize(40, 15));
    EXPECT_EQ(places[0].size(), QSize(150, 64));
}

TEST(LumTilePainting, EveryPixelComesFromItsPlaceInTheTile)
{
    Ground ground(Qt::green);
    ground.resize(640, 399);
    auto* tile = new TlumTile(&ground);
    const QImage pic = numberedTile(150, 64, qRgb(9, 9, 9));
    tile->SetImage(pic);
    tile->setGeometry(0, 0, 640, 399);
    const QImage out = render(ground);
    for (int y = 0; y < 399; ++y)
        for (int x = 0; x < 640; ++x)
            ASSERT_EQ(out.pixel(x, y), pic.pixel(x % 150, y % 64)) << x << "," << y;
}

TEST(LumTilePainting, TilesAreCutOffAtTheControlsEdges)
{
    Ground ground(Qt::green);
    ground.resize(200, 100);
    auto* tile = new TlumTile(&ground);
    tile->SetImage(numberedTile(150, 64, qRgb(9, 9, 9)));
    tile->setGeometry(10, 10, 160, 70);
    const QImage out = render(ground);
    EXPECT_EQ(out.pixel(170, 40), QColor(Qt::green).rgb());   // right of the control
    EXPECT_EQ(out.pixel(40, 80), QColor(Qt::green).rgb());    // below it
    EXPECT_EQ(out.pixel(5, 5), QColor(Qt::green).rgb());      // above and left of it
    EXPECT_NE(out.pixel(169, 79), QColor(Qt::green).rgb());
}

TEST(LumTilePainting, AnEmptyTilePaintsNothing)
{
    Ground ground(Qt::red);
    ground.resize(100, 80);
    auto* tile = new TlumTile(&ground);
    tile->setGeometry(0, 0, 100, 80);
    tile->SetImage(numberedTile(20, 20, qRgb(1, 1, 1)));
    tile->SetImage(QImage());   // emptied again
    EXPECT_TRUE(tile->Image().isNull());
    EXPECT_TRUE(tile->TilePlaces().isEmpty());
    const QImage out = render(ground);
    for (int y = 0; y < 80; y += 7)
        for (int x = 0; x < 100; x += 7)
            ASSERT_EQ(out.pixel(x, y), QColor(Qt::red).rgb());
}

TEST(LumTileTransparency, WhitePixelsShowWhatLiesBeneath)
{
    Ground ground(QColor(0, 200, 0));
    ground.resize(90, 50);
    auto* tile = new TlumTile(&ground);
    QImage pic(30, 20, QImage::Format_RGB32);
    pic.fill(Qt::white);
    for (int y = 5; y < 15; ++y)
        for (int x = 10; x < 20; ++x)
            pic.setPixel(x, y, qRgb(200, 30, 40));
    pic.setPixel(2, 2, qRgb(254, 255, 255));   // nearly white is not white
    tile->SetImage(pic);
    tile->SetTransparent(true);
    tile->setGeometry(0, 0, 90, 50);
    EXPECT_EQ(tile->TranColor(), TopByte2 | 0xFFFFFF);

    const QImage out = render(ground);
    const QRgb beneath = qRgb(0, 200, 0);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 90; ++x) {
            const int tx = x % 30, ty = y % 20;
            QRgb want = beneath;
            if (tx >= 10 && tx < 20 && ty >= 5 && ty < 15)
                want = qRgb(200, 30, 40);
            else if (tx == 2 && ty == 2)
                want = qRgb(254, 255, 255);
            ASSERT_EQ(out.pixel(x, y), want) << x << "," << y;
        }
    }
}

TEST(LumTileTransparency, TheMaskMarksTheSeeThroughPixels)
{
    TlumTile tile;
    QImage pic(8, 4, QImage::Format_RGB32);
    pic.fill(qRgb(10, 20, 30));
    pic.setPixel(5, 1, qRgb(1, 2, 3));
    tile.SetImage(pic);
    tile.SetTransparent(true);
    const QImage mask = tile.TileMask();
    ASSERT_EQ(mask.size(), QSize(8, 4));
    EXPECT_EQ(mask.depth(), 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(QColor(mask.pixel(x, y)), (x == 5 && y == 1) ? QColor(Qt::black) : QColor(Qt::white)) << x << "," << y;
}

TEST(LumTileTransparency, SwitchingOnBlackensTheTileForGood)
{
    TlumTile tile;
    QImage pic(6, 6, QImage::Format_RGB32);
    pic.fill(Qt::white);
    pic.setPixel(3, 3, qRgb(50, 60, 70));
    tile.SetImage(pic);
    tile.SetTransparent(true);
    EXPECT_EQ(tile.Image().pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(tile.Image().pixel(3, 3), qRgb(50, 60, 70));
    EXPECT_EQ(pic.pixel(0, 0), qRgb(255, 255, 255));   // the caller's picture keeps its own pixels

    tile.SetTransparent(false);
    EXPECT_EQ(tile.Image().pixel(0, 0), qRgb(0, 0, 0));   // not restored
    EXPECT_EQ(tile.Image().pixel(5, 5), qRgb(0, 0, 0));
    EXPECT_EQ(tile.TranColor(), TopByte2);   // black now, with top byte 2

    Ground ground(Qt::green);
    ground.resize(6, 6);
    tile.setParent(&ground);
    tile.setGeometry(0, 0, 6, 6);
    const QImage out = render(ground);
    EXPECT_EQ(out.pixel(0, 0), qRgb(0, 0, 0));   // painted black, nothing shows through
    EXPECT_EQ(out.pixel(3, 3), qRgb(50, 60, 70));
    tile.setParent(nullptr);
}

TEST(LumTileTransparency, SettingTheSameValueAgainChangesNothing)
{
    TlumTile tile;
    tile.SetImage(numberedTile(10, 10, qRgb(1, 2, 3)));
    tile.SetTranColor(1234);
    tile.SetTransparent(false);   // already false: TileChanged does not run
    EXPECT_EQ(tile.TranColor(), 1234u);
    tile.SetTransparent(true);
    EXPECT_EQ(tile.TranColor(), TopByte2 | 0x030201);
}

TEST(LumTileTranColor, TakenFromTheBottomLeftPixelWithTopByte2)
{
    TlumTile tile;
    EXPECT_EQ(tile.TranColor(), 0u);
    tile.SetImage(numberedTile(40, 30, qRgb(0x11, 0x22, 0x33)));
    EXPECT_EQ(tile.TranColor(), TopByte2 | 0x332211);
}

TEST(LumTileTranColor, AWrittenValueIsReplacedByTheNextTile)
{
    TlumTile tile;
    tile.SetImage(numberedTile(40, 30, qRgb(0x11, 0x22, 0x33)));
    tile.SetTranColor(0x00ABCDEF);
    EXPECT_EQ(tile.TranColor(), 0x00ABCDEFu);
    tile.SetImage(numberedTile(20, 10, qRgb(0x44, 0x55, 0x66)));
    EXPECT_EQ(tile.TranColor(), TopByte2 | 0x665544);
}

TEST(LumTileTranColor, AOneBitTileIsSeeThroughInWhite)
{
    QImage mono(16, 8, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(0);   // black everywhere, bottom-left included
    mono.setPixel(4, 4, 1);
    TlumTile tile;
    tile.SetImage(mono);
    EXPECT_TRUE(tile.IsMonochrome());
    EXPECT_EQ(tile.TranColor(), TopByte2 | 0xFFFFFF);
    tile.SetTransparent(true);
    EXPECT_EQ(QColor(tile.TileMask().pixel(4, 4)), QColor(Qt::white));
    EXPECT_EQ(QColor(tile.TileMask().pixel(0, 0)), QColor(Qt::black));
}

TEST(LumTileMainWindow, TheProgramsTileIs150x64In24BitsAndYieldsTheStoredColour)
{
    const QImage img = mainWindowTile();
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(150, 64));
    EXPECT_EQ(img.pixel(0, 63), qRgb(239, 239, 239));
    // Stored as a 24-bit Windows bitmap.
    QFile f(QStringLiteral(":/controls/glimmer-tile.bmp"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray head = f.read(30);
    ASSERT_EQ(head.left(2), QByteArray("BM"));
    EXPECT_EQ(quint8(head[28]) | (quint8(head[29]) << 8), 24);

    TlumTile tile;
    tile.SetImage(img);
    EXPECT_EQ(tile.TranColor(), 49278959u);
    EXPECT_FALSE(tile.Transparent());
}

TEST(LumTileControl, TakesNoFocusAndStartsAt64x64)
{
    TlumTile tile;
    EXPECT_EQ(tile.focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(tile.size(), QSize(64, 64));
    EXPECT_FALSE(tile.Transparent());
    EXPECT_TRUE(tile.Image().isNull());
}
