// Photos of today's formats against a reference decoder's pixels: Pillow
// (Debian's python3-pil) for PNG, GIF, WebP and TIFF, libheif's own
// heif-convert (libheif-examples) for HEIC. Each picture is made here, with
// transparency and an orientation tag where the format has them; ours must
// be the reference's, turned upright and laid over the background, within
// the rounding of the blend.
#include "TestSupport.h"
#include "picture/JPEGBitmap.h"
#include "picture/PhotoConverter.h"
#include "toolkit/Files.h"

#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>
#include <libheif/heif.h>

#include <cstdlib>

namespace {

const char* const python = "/usr/bin/python3";
const quint32 background = 0x00604020;   // 0x00BBGGRR: red 0x20, green 0x40, blue 0x60

bool Runs(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString MissingTools()
{
    QStringList missing;
    if (!Runs(python, {"-c", "from PIL import features; assert features.check('webp')"}))
        missing << "Pillow with WebP (python3-pil)";
    if (!Runs("heif-convert", {"--help"}) && !QFileInfo::exists("/usr/bin/heif-convert"))
        missing << "heif-convert (libheif-examples)";
    return missing.join(" and ");
}

// Makes the pictures, and writes the reference of each (a PNG given as its
// decoded pixels, turned by its tag and laid over the background) as NAME.ppm.
const char* const pillow = R"(
import sys
from PIL import Image
bg = (0x20, 0x40, 0x60, 255)
def picture():
    im = Image.new('RGBA', (64, 48))
    im.putdata([(x * 4, y * 5, (x * y) % 256, 255 if y < 12 else (x * 7 + y * 3) % 256)
                for y in range(48) for x in range(64)])
    return im
def tagged(o):
    e = Image.Exif(); e[0x0112] = o; return e
if sys.argv[1] == 'make':
    im = picture()
    im.save('a.png', exif=tagged(6))
    im.convert('P', palette=Image.ADAPTIVE, colors=64).save('b.gif', transparency=5)
    im.save('c.webp', lossless=True, exif=tagged(3))
    im.convert('RGB').save('d.tif', exif=tagged(8))
else:
    im = Image.open(sys.argv[1]); im.load()
    turn = {2: Image.FLIP_LEFT_RIGHT, 3: Image.ROTATE_180, 4: Image.FLIP_TOP_BOTTOM, 5: Image.TRANSPOSE,
            6: Image.ROTATE_270, 7: Image.TRANSVERSE, 8: Image.ROTATE_90}
    # Pillow turns a TIFF upright itself as it loads it (and keeps the tag).
    o = im.getexif().get(0x0112, 1) if im.format != 'TIFF' else 1
    if o in turn: im = im.transpose(turn[o])
    out = Image.alpha_composite(Image.new('RGBA', im.size, bg), im.convert('RGBA')).convert('RGB')
    out.save(sys.argv[2], 'PPM')
)";

// A HEIC of the same picture, stored on its side with HEIF's rotation (as a
// phone held upright writes it), encoded by libheif's x265 encoder.
bool WriteHeic(const QString& path)
{
    heif_context* ctx = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_image* image = nullptr;
    bool ok = heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder).code == heif_error_Ok &&
              heif_image_create(64, 48, heif_colorspace_RGB, heif_chroma_interleaved_RGBA, &image).code == heif_error_Ok &&
              heif_image_add_plane(image, heif_channel_interleaved, 64, 48, 8).code == heif_error_Ok;
    if (ok) {
        int stride = 0;
        uint8_t* p = heif_image_get_plane(image, heif_channel_interleaved, &stride);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                uint8_t* px = p + y * stride + 4 * x;
                px[0] = uint8_t(x * 4);
                px[1] = uint8_t(y * 5);
                px[2] = uint8_t(x * y);
                px[3] = uint8_t(y < 12 ? 255 : x * 7 + y * 3);
            }
        heif_encoder_set_lossy_quality(encoder, 90);
        heif_encoding_options* options = heif_encoding_options_alloc();
        options->image_orientation = heif_orientation_rotate_90_cw;
        ok = heif_context_encode_image(ctx, image, encoder, options, nullptr).code == heif_error_Ok &&
             heif_context_write_to_file(ctx, QFile::encodeName(path).constData()).code == heif_error_Ok;
        heif_encoding_options_free(options);
    }
    if (image)
        heif_image_release(image);
    if (encoder)
        heif_encoder_release(encoder);
    heif_context_free(ctx);
    return ok;
}

int LargestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

} // namespace

TEST(PhotoConverter, EachFormatGivesTheReferenceDecodersPixelsUprightOverTheBackground)
{
    GLIMMER_NEEDS_TOOLS(MissingTools());
    TempFolder t;
    ASSERT_TRUE(Runs(python, {"-c", pillow, "make"}));
    ASSERT_TRUE(WriteHeic(t.File("e.heic")));
    ASSERT_TRUE(Runs("heif-convert", {t.File("e.heic"), t.File("e-reference.png")}));
    const QStringList files{"a.png", "b.gif", "c.webp", "d.tif", "e.heic"};
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const QString decoded = name == "e.heic" ? t.File("e-reference.png") : t.File(name);
        ASSERT_TRUE(Runs(python, {"-c", pillow, decoded, t.File(name + ".ppm")}));
        const QImage reference(t.File(name + ".ppm"));
        const QImage ours = ReadPhoto(t.File(name), background, name);
        // Upright: the opaque band of the top rows stands at the top, whatever
        // way the file stores it (a.png, c.webp, d.tif and e.heic are turned).
        ASSERT_EQ(ours.size(), name == "b.gif" ? QSize(64, 48) : name == "c.webp" ? QSize(64, 48) : QSize(48, 64));
        ASSERT_EQ(ours.size(), reference.size());
        EXPECT_LE(LargestDifference(ours, reference), 1);

        // The JPEG carries those pixels, and no orientation tag to turn them twice.
        const QByteArray jpeg = PhotoToJpeg(t.File(name), background, name);
        EXPECT_FALSE(jpeg.contains("Exif"));
        TJPEGBitmap back;
        TMemoryStream in(jpeg);
        back.LoadFromStream(in);
        EXPECT_EQ(back.Image().size(), ours.size());
    }
}

TEST(PhotoConverter, AFileThatCannotBeReadIsNamed)
{
    TempFolder t;
    WriteAll(t.File("broken.png"), QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(40, 'x'));
    WriteAll(t.File("broken.heic"), QByteArray("\0\0\0\x18" "ftypheic", 12) + QByteArray(40, 'x'));
    for (const QString name : {"broken.png", "broken.heic"}) {
        try {
            ReadPhoto(t.File(name), background, name.toUpper());
            ADD_FAILURE() << "read " << name.toStdString();
        } catch (const EGlimmerError& e) {
            EXPECT_TRUE(e.Text().startsWith("The picture " + name.toUpper() + " cannot be read")) << e.what();
        }
    }
}
