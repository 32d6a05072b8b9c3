// The JPEG decoder without Qt: the full picture exactly as libjpeg's own
// djpeg gives it, the scaled pictures exactly as djpeg -scale gives them,
// the EXIF orientation, and the budget that bounds memory and time.
#include "JpegBombs.h"
#include "JpegFiles.h"
#include "Pixels.h"
#include "decode/DecodeError.h"
#include "decode/Jpeg.h"

#include <QImage>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

extern "C" {
#include <jpeglib.h>
}

namespace {

QImage Decode(const QByteArray& jpeg, int halvings = 0, const DecodeControl& control = {})
{
    MemorySource source(jpeg.constData(), std::size_t(jpeg.size()));
    return ToImage(decodeJpeg(source, halvings, control).pixels);
}

std::string Failure(const QByteArray& jpeg, int halvings = 0, DecodeBudget budget = {})
{
    MemorySource source(jpeg.constData(), std::size_t(jpeg.size()));
    try {
        decodeJpeg(source, halvings, DecodeControl(nullptr, budget));
    } catch (const DecodeError& e) {
        return e.what();
    }
    return "decoded";
}

// What djpeg writes for the file, scaled by 1/denom: the library's default
// options (islow, fancy upsampling, block smoothing), RGB or grey output.
QImage Djpeg(const QByteArray& jpeg, unsigned denom = 1)
{
    jpeg_decompress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_mem_src(&c, reinterpret_cast<const unsigned char*>(jpeg.constData()), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&c, TRUE);
    c.scale_num = 1;
    c.scale_denom = denom;
    jpeg_start_decompress(&c);
    QImage image(int(c.output_width), int(c.output_height), QImage::Format_RGB32);
    std::vector<JSAMPLE> row(std::size_t(c.output_width) * std::size_t(c.output_components));
    while (c.output_scanline < c.output_height) {
        const int y = int(c.output_scanline);
        JSAMPROW rows[1] = {row.data()};
        jpeg_read_scanlines(&c, rows, 1);
        for (int x = 0; x < int(c.output_width); ++x) {
            const JSAMPLE* p = &row[std::size_t(x) * std::size_t(c.output_components)];
            image.setPixel(x, y, c.output_components == 1 ? qRgb(p[0], p[0], p[0]) : qRgb(p[0], p[1], p[2]));
        }
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    return image;
}

int HeaderOrientation(const QByteArray& jpeg)
{
    MemorySource source(jpeg.constData(), std::size_t(jpeg.size()));
    return readJpegHeader(source).orientation;
}

} // namespace

TEST(JpegDecoder, TheFullPictureIsExactlyDjpegs)
{
    struct Case {
        QSize size;
        JpegOptions options;
    };
    const Case cases[] = {
        {{227, 149}, {JpegOptions::RGB, 75, false}},
        {{227, 149}, {JpegOptions::RGB, 90, true}},
        {{61, 33}, {JpegOptions::Grey, 80, false}},
        {{61, 33}, {JpegOptions::Grey, 80, true}},
        {{1, 1}, {JpegOptions::RGB, 95, false}},
        {{17, 250}, {JpegOptions::RGB, 50, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.size.width() << "x" << c.size.height() << " progressive " << c.options.progressive);
        const QByteArray jpeg = EncodeJpeg(TestPicture(c.size.width(), c.size.height()), c.options);
        EXPECT_EQ(Decode(jpeg), Djpeg(jpeg));
    }
}

TEST(JpegDecoder, HalfQuarterAndEighthAreExactlyDjpegScaled)
{
    for (bool progressive : {false, true})
        for (QSize size : {QSize(401, 299), QSize(64, 48), QSize(9, 7)}) {
            const QByteArray jpeg = EncodeJpeg(TestPicture(size.width(), size.height()), {JpegOptions::RGB, 85, progressive});
            for (int k = 1; k <= 3; ++k) {
                SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height() << " at 1/" << (1 << k));
                const QImage scaled = Decode(jpeg, k);
                // Each axis rounded up, as libjpeg does.
                EXPECT_EQ(scaled.size(), QSize((size.width() + (1 << k) - 1) >> k, (size.height() + (1 << k) - 1) >> k));
                EXPECT_EQ(scaled, Djpeg(jpeg, 1u << k));
            }
        }
}

TEST(JpegDecoder, BelowAnEighthTheEighthIsAveraged)
{
    const QByteArray jpeg = EncodeJpeg(TestPicture(403, 250), {JpegOptions::RGB, 90, false});
    const QImage eighth = Djpeg(jpeg, 8);   // 51 x 32
    for (int k : {4, 5}) {
        SCOPED_TRACE(k);
        const int unit = 1 << (k - 3);
        const QImage shrunk = Decode(jpeg, k);
        ASSERT_EQ(shrunk.size(), QSize((403 + (1 << k) - 1) >> k, (250 + (1 << k) - 1) >> k));
        for (int oy = 0; oy < shrunk.height(); ++oy)
            for (int ox = 0; ox < shrunk.width(); ++ox) {
                int sum[3] = {0, 0, 0}, n = 0;
                for (int y = oy * unit; y < std::min(eighth.height(), (oy + 1) * unit); ++y)
                    for (int x = ox * unit; x < std::min(eighth.width(), (ox + 1) * unit); ++x, ++n) {
                        sum[0] += qRed(eighth.pixel(x, y));
                        sum[1] += qGreen(eighth.pixel(x, y));
                        sum[2] += qBlue(eighth.pixel(x, y));
                    }
                const QRgb p = shrunk.pixel(ox, oy);
                ASSERT_EQ(qRed(p), (2 * sum[0] + n) / (2 * n)) << ox << "," << oy;
                ASSERT_EQ(qGreen(p), (2 * sum[1] + n) / (2 * n)) << ox << "," << oy;
                ASSERT_EQ(qBlue(p), (2 * sum[2] + n) / (2 * n)) << ox << "," << oy;
            }
    }
}

TEST(JpegDecoder, CmykIsTurnedIntoColourAtEveryScale)
{
    QImage source(32, 16, QImage::Format_RGB32);
    source.fill(qRgb(230, 30, 30));
    for (auto kind : {JpegOptions::AdobeCMYK, JpegOptions::PlainCMYK}) {
        const QByteArray jpeg = EncodeJpeg(source, {kind});
        for (int k : {0, 2, 4}) {
            const QImage p = Decode(jpeg, k);
            EXPECT_NEAR(qRed(p.pixel(0, 0)), 230, 8) << k;
            EXPECT_NEAR(qGreen(p.pixel(0, 0)), 30, 8) << k;
        }
    }
}

TEST(JpegDecoder, TheExifOrientationIsReadInEitherByteOrder)
{
    const QByteArray plain = EncodeJpeg(TestPicture(16, 8));
    EXPECT_EQ(HeaderOrientation(plain), 1);
    for (int o = 1; o <= 8; ++o) {
        EXPECT_EQ(HeaderOrientation(InsertAfterSoi(plain, ExifSegment(o))), o);
        EXPECT_EQ(HeaderOrientation(InsertAfterSoi(plain, ExifSegment(o, true))), o);
    }
    EXPECT_EQ(HeaderOrientation(InsertAfterSoi(plain, ExifSegment(6, true, 4))), 6) << "given as a long";
    // XMP comes in APP1 too; the EXIF block after it is the one read.
    const QByteArray xmp = Segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0<x/>", 34));
    EXPECT_EQ(HeaderOrientation(InsertAfterSoi(plain, xmp + ExifSegment(8))), 8);
    // The first EXIF block counts; a second one is skipped.
    EXPECT_EQ(HeaderOrientation(InsertAfterSoi(plain, ExifSegment(3) + ExifSegment(6))), 3);
    // The decode reports the same, and the pixels are the file's as stored.
    const QByteArray tagged = InsertAfterSoi(plain, ExifSegment(5));
    MemorySource tagSource(tagged.constData(), std::size_t(tagged.size()));
    const JpegPicture picture = decodeJpeg(tagSource, 0, DecodeControl());
    EXPECT_EQ(picture.orientation, 5);
    EXPECT_EQ(ToImage(picture.pixels), Djpeg(plain));
}

TEST(JpegDecoder, ADamagedExifBlockMeansUprightNeverAFailure)
{
    const QByteArray plain = EncodeJpeg(TestPicture(16, 8));
    const QByteArray good = ExifSegment(6);
    for (int cut = 4; cut < good.size(); cut += 3) {
        QByteArray damaged = good.left(cut);
        damaged[2] = char((cut - 2) >> 8);
        damaged[3] = char((cut - 2) & 0xFF);
        const QByteArray jpeg = InsertAfterSoi(plain, damaged);
        const int o = HeaderOrientation(jpeg);
        EXPECT_TRUE(o == 1 || (o == 6 && cut >= good.size() - 6)) << cut << ": " << o;
        EXPECT_EQ(Decode(jpeg), Djpeg(plain)) << cut;
    }
    EXPECT_EQ(HeaderOrientation(InsertAfterSoi(plain, ExifSegment(9))), 1) << "no such orientation";
    EXPECT_EQ(HeaderOrientation(InsertAfterSoi(plain, ExifSegment(0))), 1);
}

TEST(JpegDecoder, ManyApplicationSegmentsTakeNoMoreRoomThanOne)
{
    // A thousand XMP segments of 64 KB before the picture: the decoder keeps
    // room for one segment, not for each.
    QByteArray segments;
    const QByteArray xmp = Segment(0xE1, QByteArray("http://ns.adobe.com/xap/1.0/\0", 29) + QByteArray(65000, 'x'));
    for (int i = 0; i < 1000; ++i)
        segments += xmp;
    const QByteArray jpeg = InsertAfterSoi(EncodeJpeg(TestPicture(16, 16)), segments + ExifSegment(7));
    std::ofstream("/proc/self/clear_refs") << "5";
    auto peakKb = [] {
        std::ifstream in("/proc/self/status");
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("VmHWM:", 0) == 0)
                return std::stol(line.substr(6));
        return -1L;
    };
    const long before = peakKb();
    EXPECT_EQ(HeaderOrientation(jpeg), 7);
    EXPECT_EQ(Decode(jpeg).size(), QSize(16, 16));
    EXPECT_LT(peakKb() - before, 8 * 1024) << "KiB more at the peak";
}

TEST(JpegDecoder, FailuresCarryTheLibrarysMessage)
{
    const QByteArray good = EncodeJpeg(TestPicture(64, 64));
    EXPECT_EQ(Failure(QByteArray()), "Empty input file");
    EXPECT_EQ(Failure(good.left(good.size() / 2)), "Premature end of JPEG file");
    EXPECT_EQ(Failure(QByteArray("BM not a jpeg")), "Not a JPEG file: starts with 0x42 0x4d");
    EXPECT_EQ(Failure(EncodeJpeg(TestPicture(16, 16), {JpegOptions::TwoComponents})), "Unsupported JPEG colour format (2 components)");
}

TEST(JpegDecoder, TooManyScansAreRefusedBeforeTheyCostMuch)
{
    // 883 scans over a small picture: the scan budget (100) stops it.
    const QByteArray bomb = ManyScansBomb(256, 256);
    EXPECT_EQ(Failure(bomb), "Too many scans in the JPEG file (more than 100)");
    // Within the scan count, the blocks those scans visit are counted too.
    DecodeBudget budget;
    budget.maxScanBlocks = 1024 * 50;   // 50 scans of the 1024 blocks
    EXPECT_EQ(Failure(bomb, 0, budget), "Too many scans in the JPEG file for a picture of 256 x 256");
    // libjpeg's own progression is far within both.
    EXPECT_EQ(Failure(EncodeJpeg(TestPicture(256, 256), {JpegOptions::RGB, 90, true})), "decoded");
}

TEST(JpegDecoder, MemoryIsCountedWithTheLibrarysOwnBuffers)
{
    // Four components kept whole for their scans: 4 x 128 bytes per block,
    // 2 GiB for 16384 x 16384, refused before the library sets any of it aside.
    const QByteArray bomb = DcOnlyBomb(16384, 16384);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Failure(bomb, 3), "Picture too large (16384 x 16384)");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    // Under a budget of 3 MiB, a baseline picture of 512 x 512 (1 MiB of
    // pixels, a little for the library's rows) decodes; the same picture with
    // its 2 MiB of coefficients kept for its scans does not.
    DecodeBudget tight;
    tight.maxBytes = 3 << 20;
    QImage grey(512, 512, QImage::Format_RGB32);
    grey.fill(qRgb(128, 128, 128));
    EXPECT_EQ(Failure(EncodeJpeg(grey, {JpegOptions::AdobeCMYK}), 0, tight), "decoded");
    EXPECT_EQ(Failure(DcOnlyBomb(512, 512), 0), "decoded");
    EXPECT_EQ(Failure(DcOnlyBomb(512, 512), 0, tight), "Picture too large (512 x 512)");
    // A full-size picture over 1 GiB of pixels is refused at every scale.
    EXPECT_EQ(Failure(ManyScansBomb(20000, 16384), 3), "Picture too large (20000 x 16384)");
}

TEST(JpegDecoder, ADecodeStopsSoonAfterItIsCancelled)
{
    // The many-scans picture at a size that takes seconds to go through.
    const QByteArray bomb = ManyScansBomb(8192, 8192);
    std::atomic<bool> cancel{false};
    std::chrono::steady_clock::time_point asked;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        asked = std::chrono::steady_clock::now();
        cancel = true;
    });
    MemorySource source(bomb.constData(), std::size_t(bomb.size()));
    DecodeBudget generous;
    generous.maxScans = 1000;
    generous.maxScanBlocks = std::uint64_t(1) << 40;
    EXPECT_THROW(decodeJpeg(source, 3, DecodeControl(&cancel, generous)), DecodeCancelled);
    const auto stopped = std::chrono::steady_clock::now();
    stopper.join();
    EXPECT_LT(stopped - asked, std::chrono::milliseconds(100));
}

TEST(JpegDecoder, ASourceThatFailsRaisesItsOwnError)
{
    class Failing : public ByteSource {
    public:
        explicit Failing(const QByteArray& b) : inner_(b.constData(), std::size_t(b.size())) {}
        std::size_t read(void* buffer, std::size_t n) override
        {
            if (++reads_ > 1)
                throw std::runtime_error("the disk went away");
            return inner_.read(buffer, n);
        }
        void seek(std::uint64_t o) override { inner_.seek(o); }
        std::uint64_t size() override { return inner_.size(); }

    private:
        MemorySource inner_;
        int reads_ = 0;
    };
    const QByteArray jpeg = EncodeJpeg(TestPicture(800, 600), {JpegOptions::RGB, 100});
    Failing source(jpeg);
    try {
        decodeJpeg(source, 0, DecodeControl());
        FAIL() << "decoded from a failing source";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "the disk went away");
    }
}
