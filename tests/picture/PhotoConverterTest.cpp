// Photos of today's formats against a reference decoder's pixels: Pillow for
// PNG, GIF, WebP and TIFF, libheif's heif-convert for HEIC, each picture made
// here with transparency, and with an orientation tag where the format has one.
#include "TestSupport.h"
#include "picture/PhotoConverter.h"
#include "toolkit/Files.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

const quint32 background = 0x00604020;   // red 0x20, green 0x40, blue 0x60

bool Runs(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// "make" writes the pictures; FILE OUT writes FILE's reference pixels (turned
// by its tag, over the background) to OUT.
const char* const pillow = R"(
import sys
from PIL import Image
if sys.argv[1] == 'make':
    im = Image.new('RGBA', (64, 48))
    im.putdata([(x * 4, y * 5, x * y % 256, 255 if y < 12 else (x * 7 + y * 3) % 256) for y in range(48) for x in range(64)])
    def tag(o): e = Image.Exif(); e[0x0112] = o; return e
    im.save('a.png', exif=tag(6)); im.save('c.webp', lossless=True, exif=tag(3)); im.convert('RGB').save('d.tif', exif=tag(8))
    im.convert('P', palette=Image.ADAPTIVE, colors=64).save('b.gif', transparency=5); im.save('e.png')
else:
    im = Image.open(sys.argv[1]); im.load()
    o = im.getexif().get(0x0112, 1) if im.format != 'TIFF' else 1   # Pillow turns a TIFF as it loads it
    im = im.transpose({3: Image.ROTATE_180, 6: Image.ROTATE_270, 8: Image.ROTATE_90}[o]) if o != 1 else im
    Image.alpha_composite(Image.new('RGBA', im.size, (32, 64, 96, 255)), im.convert('RGBA')).convert('RGB').save(sys.argv[2], 'PPM')
)";

} // namespace

TEST(PhotoConverter, EachFormatGivesTheReferenceDecodersPixelsUprightOverTheBackground)
{
    TempFolder t;
    GLIMMER_NEEDS_TOOLS(Runs("/usr/bin/python3", {"-c", pillow, "make"}) ? QString() : "Pillow (python3-pil)");
    GLIMMER_NEEDS_TOOLS(Runs("heif-enc", {"-q", "90", "-o", "e.heic", "e.png"}) && Runs("heif-convert", {"e.heic", "e.png"})
                            ? QString()
                            : "heif-enc and heif-convert (libheif-examples)");
    for (const QString name : {"a.png", "b.gif", "c.webp", "d.tif", "e.heic"}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(Runs("/usr/bin/python3", {"-c", pillow, name == "e.heic" ? "e.png" : name, "reference.ppm"}));
        const QImage reference = QImage("reference.ppm").convertToFormat(QImage::Format_RGB888);
        const QImage ours = ReadPhoto(t.File(name), background, name);
        // a and d are stored on their side, c half round.
        EXPECT_EQ(ours.width(), name == "a.png" || name == "d.tif" ? 48 : 64);
        ASSERT_EQ(ours.size(), reference.size());
        int largest = 0;   // the blend's rounding may differ by one
        for (int y = 0; y < ours.height(); ++y)
            for (int x = 0; x < ours.width() * 3; ++x)
                largest = std::max(largest, std::abs(ours.constScanLine(y)[x] - reference.constScanLine(y)[x]));
        EXPECT_LE(largest, 1);
        // The JPEG carries those pixels, without a tag to turn them twice.
        const QByteArray jpeg = PhotoToJpeg(t.File(name), background, name);
        EXPECT_EQ(QImage::fromData(jpeg, "JPEG").size(), ours.size());
        EXPECT_FALSE(jpeg.contains("Exif"));
    }
}

TEST(PhotoConverter, AFileThatCannotBeReadIsNamed)
{
    TempFolder t;
    WriteAll(t.File("broken.png"), QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(40, 'x'));
    WriteAll(t.File("broken.heic"), QByteArray("\0\0\0\x18" "ftypheic", 12) + QByteArray(40, 'x'));
    for (const QString name : {"broken.png", "broken.heic"}) {
        QString text;
        try {
            ReadPhoto(t.File(name), background, name);
        } catch (const EGlimmerError& e) {
            text = e.Text();
        }
        EXPECT_TRUE(text.startsWith("The picture " + name + " cannot be read: ")) << text.toStdString();
    }
}
