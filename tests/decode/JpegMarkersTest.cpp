// The JPEG marker reader that stands beside a decoder which is not libjpeg
// (the Windows player's): it must say of every file what libjpeg says of
// it, the size, the orientation, and where the decoding budget stops a
// file, so that the picture and the refusals are the same on every player.
#include "JpegBombs.h"
#include "JpegFiles.h"
#include "decode/DecodeError.h"
#include "decode/Jpeg.h"
#include "decode/JpegMarkers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

JpegLayout Layout(const QByteArray& jpeg, JpegExtent extent = JpegExtent::WholeFile, DecodeBudget budget = {})
{
    MemorySource source(jpeg.constData(), std::size_t(jpeg.size()));
    return readJpegLayout(source, extent, DecodeControl(nullptr, budget));
}

std::string LayoutFailure(const QByteArray& jpeg, JpegExtent extent = JpegExtent::WholeFile, DecodeBudget budget = {})
{
    try {
        Layout(jpeg, extent, budget);
    } catch (const DecodeError& e) {
        return e.what();
    }
    return "read";
}

// What libjpeg's decoder says: "decoded", or its refusal.
std::string LibjpegFailure(const QByteArray& jpeg, DecodeBudget budget = {})
{
    MemorySource source(jpeg.constData(), std::size_t(jpeg.size()));
    try {
        decodeJpeg(source, 0, DecodeControl(nullptr, budget));
    } catch (const DecodeError& e) {
        return e.what();
    }
    return "decoded";
}

JpegHeader LibjpegHeader(const QByteArray& jpeg)
{
    MemorySource source(jpeg.constData(), std::size_t(jpeg.size()));
    return readJpegHeader(source);
}

} // namespace

TEST(JpegMarkers, SizeComponentsAndOrientationAreLibjpegs)
{
    const QByteArray rgb = EncodeJpeg(TestPicture(37, 23));
    const QByteArray xmp = Segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 34));
    struct Case {
        const char* what;
        QByteArray jpeg;
        int orientation;
    };
    std::vector<Case> cases = {
        {"colour", rgb, 1},
        {"grey", EncodeJpeg(TestPicture(20, 31), {JpegOptions::Grey}), 1},
        {"Adobe CMYK", EncodeJpeg(TestPicture(16, 9), {JpegOptions::AdobeCMYK}), 1},
        {"progressive", EncodeJpeg(TestPicture(64, 48), {JpegOptions::RGB, 90, true}), 1},
        {"XMP before EXIF", InsertAfterSoi(rgb, xmp + ExifSegment(8)), 8},
        {"two EXIF blocks: the first counts", InsertAfterSoi(rgb, ExifSegment(3) + ExifSegment(6)), 3},
        {"EXIF after the frame header", InsertBeforeMarker(rgb, 0xDA, ExifSegment(7, true)), 7},
        {"EXIF after the scan is not read", rgb.left(rgb.size() - 2) + ExifSegment(6) + rgb.right(2), 1},
        {"a damaged EXIF block", InsertAfterSoi(rgb, Segment(0xE1, ExifSegment(6).mid(4, 18))), 1},
    };
    for (int o = 1; o <= 8; ++o)
        cases.push_back({"orientation", InsertAfterSoi(rgb, ExifSegment(o, o % 2 == 0)), o});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SCOPED_TRACE(c.orientation);
        const QByteArray& jpeg = c.jpeg;
        const JpegHeader expected = LibjpegHeader(jpeg);
        for (const JpegExtent extent : {JpegExtent::Header, JpegExtent::WholeFile}) {
            const JpegLayout l = Layout(jpeg, extent);
            EXPECT_EQ(l.width, expected.width);
            EXPECT_EQ(l.height, expected.height);
            EXPECT_EQ(l.components, expected.components);
            EXPECT_EQ(l.orientation, expected.orientation);
            EXPECT_EQ(l.orientation, c.orientation);
        }
    }
}

TEST(JpegMarkers, ScansAndBlocksAreCountedExactlyAsLibjpegCountsThem)
{
    // Each file at the budget's edge: libjpeg decodes it with exactly the
    // scans and blocks counted here, and refuses it with one fewer, in the
    // same words as the marker reader.
    const std::vector<std::pair<const char*, QByteArray>> files = {
        {"baseline 4:2:0", EncodeJpeg(TestPicture(100, 75))},
        {"progressive colour", EncodeJpeg(TestPicture(130, 70), {JpegOptions::RGB, 90, true})},
        {"progressive grey", EncodeJpeg(TestPicture(33, 65), {JpegOptions::Grey, 90, true})},
        {"four components, DC only", DcOnlyBomb(96, 40)},
        {"many scans", ManyScansBomb(64, 64)},
    };
    DecodeBudget open;
    open.maxScans = 100000;
    open.maxScanBlocks = std::uint64_t(1) << 40;
    for (const auto& [what, jpeg] : files) {
        SCOPED_TRACE(what);
        const JpegLayout l = Layout(jpeg, JpegExtent::WholeFile, open);
        ASSERT_GT(l.scans, 0);
        DecodeBudget scans = open;
        scans.maxScans = l.scans;
        EXPECT_EQ(LibjpegFailure(jpeg, scans), "decoded");
        EXPECT_EQ(LayoutFailure(jpeg, JpegExtent::WholeFile, scans), "read");
        scans.maxScans = l.scans - 1;
        if (scans.maxScans > 0) {
            const std::string refused = "Too many scans in the JPEG file (more than " + std::to_string(l.scans - 1) + ")";
            EXPECT_EQ(LibjpegFailure(jpeg, scans), refused);
            EXPECT_EQ(LayoutFailure(jpeg, JpegExtent::WholeFile, scans), refused);
        }
        DecodeBudget blocks = open;
        blocks.maxScanBlocks = l.scanBlocks;
        EXPECT_EQ(LibjpegFailure(jpeg, blocks), "decoded");
        EXPECT_EQ(LayoutFailure(jpeg, JpegExtent::WholeFile, blocks), "read");
        blocks.maxScanBlocks = l.scanBlocks - 1;
        const std::string refused =
            "Too many scans in the JPEG file for a picture of " + std::to_string(l.width) + " x " + std::to_string(l.height);
        EXPECT_EQ(LibjpegFailure(jpeg, blocks), refused);
        EXPECT_EQ(LayoutFailure(jpeg, JpegExtent::WholeFile, blocks), refused);
    }
    // With the default budget a bomb is refused from its markers alone.
    EXPECT_EQ(LayoutFailure(ManyScansBomb(256, 256)), "Too many scans in the JPEG file (more than 100)");
    const QByteArray huge = ManyScansBomb(65500, 65500);
    EXPECT_EQ(LayoutFailure(huge), "Picture too large (65500 x 65500)");
    EXPECT_EQ(LibjpegFailure(huge), LayoutFailure(huge));
}

TEST(JpegMarkers, BrokenMarkersAreRefusedInLibjpegsWords)
{
    const QByteArray good = EncodeJpeg(TestPicture(64, 64));
    const QByteArray junk = InsertBeforeMarker(good, 0xDB, QByteArray("xyz", 3));
    struct Case {
        const char* what;
        QByteArray jpeg;
    };
    const std::vector<Case> cases = {
        {"not a JPEG", QByteArray("BM not a jpeg")},
        {"extraneous bytes before a marker", junk},
        {"cut inside the headers", good.left(100)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string libjpeg = LibjpegFailure(c.jpeg);
        EXPECT_NE(libjpeg, "decoded");
        EXPECT_EQ(LayoutFailure(c.jpeg, JpegExtent::Header), libjpeg);
        EXPECT_EQ(LayoutFailure(c.jpeg), libjpeg);
    }
    EXPECT_EQ(LayoutFailure(QByteArray()), "Empty input file");
    EXPECT_EQ(LayoutFailure(QByteArray("\xFF\xD8\xFF\xD9", 4)), "JPEG datastream contains no image");
    // Damage inside the scans is the decoder's to find: the markers are sound.
    EXPECT_EQ(LayoutFailure(good.left(good.size() - 40)), "read");
}

TEST(JpegMarkers, ACancelledReadStopsWithoutAnError)
{
    const QByteArray jpeg = EncodeJpeg(TestPicture(64, 64));
    const std::atomic<bool> cancel{true};
    MemorySource source(jpeg.constData(), std::size_t(jpeg.size()));
    EXPECT_THROW(readJpegLayout(source, JpegExtent::WholeFile, DecodeControl(&cancel)), DecodeCancelled);
}
