// The players' shared arithmetic: where in its window the show runs with
// several monitors, what is repainted when the picture moves, colours in a
// visual's pixel layout, and a picture decoded one pixel too large.
#include "common/Geometry.h"

#include <gtest/gtest.h>

using player::Monitor;

namespace {
std::vector<Monitor> sideBySide(bool secondPrimary)
{
    return {{{0, 0, 1280, 1024}, false}, {{1280, 0, 1920, 1080}, secondPrimary}};
}

int area(const std::vector<PictureRect>& rs)
{
    int n = 0;
    for (const PictureRect& r : rs)
        n += r.width * r.height;
    return n;
}
} // namespace

TEST(PlayerGeometry, AWindowOverTwoMonitorsShowsOnThePrimaryOne)
{
    const PictureRect screen{0, 0, 3200, 1080};
    EXPECT_EQ(player::showAreaIn(screen, sideBySide(true)), (PictureRect{1280, 0, 1920, 1080}));
    // None marked primary (as on Xvfb): the first monitor.
    EXPECT_EQ(player::showAreaIn(screen, sideBySide(false)), (PictureRect{0, 0, 1280, 1024}));
}

TEST(PlayerGeometry, AWindowOnOneMonitorOrSmallerShowsOverAllOfItself)
{
    // XScreenSaver's window on the second monitor: its own coordinates.
    EXPECT_EQ(player::showAreaIn({1280, 0, 1920, 1080}, sideBySide(false)), (PictureRect{0, 0, 1920, 1080}));
    // The settings program's preview, and a window across the seam.
    EXPECT_EQ(player::showAreaIn({1500, 300, 320, 240}, sideBySide(true)), (PictureRect{0, 0, 320, 240}));
    EXPECT_EQ(player::showAreaIn({1000, 300, 800, 600}, sideBySide(true)), (PictureRect{0, 0, 800, 600}));
    // No monitors known (no XRandR): the whole window.
    EXPECT_EQ(player::showAreaIn({5, 5, 640, 480}, {}), (PictureRect{0, 0, 640, 480}));
}

TEST(PlayerGeometry, FullScreenEachMonitorHasAShowOfItsOwnAndAHostsWindowOne)
{
    using player::ScreenPolicy;
    const PictureRect screen{0, 0, 3200, 1080};
    const std::vector<PictureRect> both{{0, 0, 1280, 1024}, {1280, 0, 1920, 1080}};
    EXPECT_EQ(player::showAreasIn(screen, sideBySide(true), ScreenPolicy::EveryMonitor), both);
    // A mirrored monitor shows its twin's show; one half off the window, its part in it.
    std::vector<Monitor> mirrored = sideBySide(false);
    mirrored.push_back(mirrored.front());
    EXPECT_EQ(player::showAreasIn(screen, mirrored, ScreenPolicy::EveryMonitor), both);
    EXPECT_EQ(player::showAreasIn({1000, 0, 1000, 800}, sideBySide(false), ScreenPolicy::EveryMonitor),
              (std::vector<PictureRect>{{0, 0, 280, 800}, {280, 0, 720, 800}}));
    EXPECT_EQ(player::showAreasIn(screen, {}, ScreenPolicy::EveryMonitor), std::vector<PictureRect>{screen});
    EXPECT_EQ(player::showAreasIn(screen, sideBySide(true), ScreenPolicy::One), (std::vector<PictureRect>{{1280, 0, 1920, 1080}}));
}

TEST(PlayerGeometry, AFloatStepRepaintsOnlyWhatThePictureUncovered)
{
    const PictureRect before{100, 100, 200, 150}, after{105, 95, 200, 150};
    const std::vector<PictureRect> uncovered = player::subtract(before, after);
    // A strip of 5 at the left and one of 5 at the bottom.
    EXPECT_EQ(area(uncovered), 5 * 150 + 200 * 5 - 5 * 5);
    for (const PictureRect& r : uncovered) {
        EXPECT_TRUE(player::isEmpty(player::intersect(r, after)));
        EXPECT_EQ(player::intersect(r, before), r);
    }
    EXPECT_TRUE(player::subtract(before, before).empty());
    EXPECT_TRUE(player::subtract(before, {0, 0, 1000, 1000}).empty());
    EXPECT_EQ(player::subtract(before, {400, 400, 10, 10}), std::vector<PictureRect>{before});
    // A hole in the middle leaves four pieces around it.
    const std::vector<PictureRect> frame = player::subtract({0, 0, 100, 100}, {10, 20, 30, 40});
    EXPECT_EQ(frame.size(), 4u);
    EXPECT_EQ(area(frame), 100 * 100 - 30 * 40);
}

TEST(PlayerGeometry, ColoursTakeTheVisualsLayout)
{
    const player::PixelLayout rgb;
    EXPECT_TRUE(rgb.isRgb32());
    // The settings keep red in the lowest byte.
    EXPECT_EQ(player::pixelOfColorRef(rgb, 0x00408000), 0x008040u);
    const player::PixelLayout rgb565{0xF800, 0x07E0, 0x001F};
    EXPECT_FALSE(rgb565.isRgb32());
    EXPECT_EQ(player::pixelOf(rgb565, 255, 255, 255), 0xFFFFu);
    EXPECT_EQ(player::pixelOf(rgb565, 255, 0, 0), 0xF800u);
    // 128 of 255 is 15.5 of 31 and 31.6 of 63: rounded, not cut.
    EXPECT_EQ(player::pixelOf(rgb565, 128, 128, 0), (16u << 11) | (32u << 5));
    const player::PixelLayout bgr{0x0000FF, 0x00FF00, 0xFF0000};
    EXPECT_EQ(player::pixelOfColorRef(bgr, 0x00030201), 0x030201u);
    // Ten bits a channel (depth 30).
    const player::PixelLayout deep{0x3FF00000, 0x000FFC00, 0x000003FF};
    EXPECT_EQ(player::pixelOf(deep, 255, 0, 255), 0x3FF003FFu);
    // A 32-bit window with alpha: opaque, or a compositor shows through it.
    player::PixelLayout argb;
    argb.alphaMask = 0xFF000000;
    EXPECT_EQ(player::pixelOfColorRef(argb, 0x00408000), 0xFF008040u);
}

TEST(PlayerGeometry, APictureOnePixelLargerIsStretchedIntoItsShownSize)
{
    PixelBuffer p = PixelBuffer::allocate(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            p.row(y)[x] = std::uint32_t(y * 16 + x);
    const std::vector<std::uint32_t> out = player::stretchTo(p, 4, 2);
    ASSERT_EQ(out.size(), 8u);
    // Both edges kept; the column and the row given up lie inside.
    EXPECT_EQ(out[0], 0u);
    EXPECT_EQ(out[3], 4u);
    EXPECT_EQ(out[4], 32u);
    EXPECT_EQ(out[7], 36u);
    const std::vector<std::uint32_t> same = player::stretchTo(p, 5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(same[std::size_t(y * 5 + x)], p.row(y)[x]);
}
