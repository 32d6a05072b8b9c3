// The Wayland player's arithmetic of scaled outputs: where the picture's
// surface goes, in logical units, so that one picture pixel is one screen
// pixel, and what the viewport cuts off where the picture stands past the
// edge of the area.
#include "wayland/Placement.h"

#include <gtest/gtest.h>

using namespace wayland;

TEST(WaylandPlacement, APicturePixelIsAScreenPixelAtEveryScale)
{
    const PictureRect screen{0, 0, 800, 600};
    struct Case {
        PictureRect rect;
        int scale120, bufferScale;
        int x, y;
        bool viewport;
        int width, height;
        PictureRect source;   // width < 0: nothing is cut
    };
    for (const Case& c : std::vector<Case>{
             {{10, 20, 320, 240}, 120, 1, 10, 20, false, 0, 0, {0, 0, -1, -1}},
             // Scale 2: the buffer's own scale halves it; a place between two units takes the lower.
             {{11, 21, 320, 240}, 240, 2, 5, 10, false, 0, 0, {0, 0, -1, -1}},
             // Scale 1.5: the viewport makes 300 x 150 pixels 200 x 100 units.
             {{30, 60, 300, 150}, 180, 1, 20, 40, true, 200, 100, {0, 0, -1, -1}},
             // Cut by an odd number of pixels at scale 2 (795 x 595 shown): the
             // cut falls on whole units, never 397.5 units shown on 398.
             {{5, 5, 800, 600}, 240, 2, 2, 2, true, 398, 298, {0, 0, 398, 298}},
             {{-3, -1, 801, 600}, 240, 2, 0, 0, true, 399, 299, {2, 1, 399, 299}},
         }) {
        const PicturePlace p = placePicture(c.rect, screen, c.scale120, c.bufferScale);
        EXPECT_TRUE(p.visible);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
        EXPECT_EQ(p.viewport, c.viewport);
        EXPECT_EQ(p.sourceX, c.source.left);
        EXPECT_EQ(p.sourceY, c.source.top);
        EXPECT_EQ(p.sourceWidth, c.source.width);
        EXPECT_EQ(p.sourceHeight, c.source.height);
        if (c.viewport) {
            EXPECT_EQ(p.width, c.width);
            EXPECT_EQ(p.height, c.height);
        }
    }
    // A buffer at scale 2 is padded to even sizes, with the background.
    EXPECT_EQ(padded(321, 2), 322);
    EXPECT_EQ(padded(320, 2), 320);
    EXPECT_EQ(toPixels(427, 180), 641);
}

TEST(WaylandPlacement, WhatStandsPastTheEdgeIsCutOff)
{
    const PictureRect screen{0, 0, 800, 600};
    // Float mode steps a few pixels past the left edge.
    PicturePlace p = placePicture({-3, 0, 320, 240}, screen, 120, 1);
    EXPECT_TRUE(p.viewport);
    EXPECT_EQ(p.x, 0);
    EXPECT_DOUBLE_EQ(p.sourceX, 3);
    EXPECT_DOUBLE_EQ(p.sourceWidth, 317);
    EXPECT_DOUBLE_EQ(p.sourceHeight, 240);
    EXPECT_EQ(p.width, 317);
    // A window made smaller than where the picture stands, at scale 2: the
    // source in the surface's units, half the pixels.
    p = placePicture({600, 500, 320, 240}, screen, 240, 2);
    EXPECT_EQ(p.x, 300);
    EXPECT_EQ(p.y, 250);
    EXPECT_DOUBLE_EQ(p.sourceX, 0);
    EXPECT_DOUBLE_EQ(p.sourceWidth, 100);
    EXPECT_DOUBLE_EQ(p.sourceHeight, 50);
    EXPECT_EQ(p.width, 100);
    EXPECT_EQ(p.height, 50);
    EXPECT_FALSE(placePicture({800, 0, 320, 240}, screen, 120, 1).visible);
}
