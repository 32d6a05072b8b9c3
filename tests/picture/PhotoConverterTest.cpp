// Photos of today's formats against a reference decoder's pixels: Pillow for
// PNG, GIF, WebP and TIFF, libheif's heif-convert for HEIC, each picture made
// here with transparency, and with an orientation tag where the format has one.
#include "JpegFiles.h"
#include "TestSupport.h"
#include "picture/PhotoConverter.h"
#include "toolkit/Files.h"

#include <QFile>
#include <QtEndian>
#include <QProcess>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const quint32 background = 0x00604020;   // red 0x20, green 0x40, blue 0x60

bool Runs(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// "make" writes the pictures, and huge.png: a PNG header alone, of a photo
// over the cap; "deep" a 16-bit PNG of 4100 x 4100, quickly (its rows after
// the first repeat it); FILE OUT writes FILE's reference pixels (turned by
// its tag, over the background) to OUT.
const char* const pillow = R"(
import struct, sys, zlib
def png(name, w, h, depth, rows):
    chunk = lambda kind, data: struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    ihdr = struct.pack('>IIBBBBB', w, h, depth, 2, 0, 0, 0)
    open(name, 'wb').write(b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + chunk(b'IDAT', rows) + chunk(b'IEND', b''))
if sys.argv[1] == 'deep':
    z = zlib.compressobj(1)
    rows = z.compress(b'\0' + bytes([20, 0, 40, 0, 60, 0]) * 4100) + b''.join(z.compress(b'\2' + bytes(4100 * 6)) for _ in range(4099))
    png('deep.png', 4100, 4100, 16, rows + z.flush())
    sys.exit()
from PIL import Image
if sys.argv[1] == 'make':
    png('huge.png', 10001, 10000, 8, b'')
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

int largestDifference(const QImage& a, const QImage& b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width() * 3; ++x)
            largest = std::max(largest, std::abs(a.constScanLine(y)[x] - b.constScanLine(y)[x]));
    return largest;
}

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
        const QImage ours = readPhoto(t.File(name), background, name);
        // a and d are stored on their side, c half round.
        EXPECT_EQ(ours.width(), name == "a.png" || name == "d.tif" ? 48 : 64);
        ASSERT_EQ(ours.size(), reference.size());
        EXPECT_LE(largestDifference(ours, reference), 1);   // the blend's rounding may differ by one
        // The JPEG carries those pixels, within its loss: in blocks of 8 x 8.
        const QImage jpeg = QImage::fromData(photoToJpeg(t.File(name), background, name), "JPEG");
        ASSERT_EQ(jpeg.size(), ours.size());
        const auto coarse = [](const QImage& i) {
            return i.convertToFormat(QImage::Format_RGB888).scaled(i.size() / 8, Qt::IgnoreAspectRatio,
                                                                   Qt::SmoothTransformation);
        };
        EXPECT_LE(largestDifference(coarse(jpeg), coarse(reference)), 12);   // red and blue swapped: over 100
    }
}

// Each says why: a GIF cut short, a HEIC whose picture is larger (or
// smaller) than its header claims, a header claiming too much for libheif
// (its message without its line break), a PNG over our cap.
TEST(PhotoConverter, AFileThatCannotBeReadIsNamedWithWhy)
{
    TempFolder t;
    GLIMMER_NEEDS_TOOLS(Runs("/usr/bin/python3", {"-c", pillow, "make"}) ? QString() : "Pillow (python3-pil)");
    TestPicture(200, 150).save("f.png");
    GLIMMER_NEEDS_TOOLS(Runs("heif-enc", {"-q", "50", "-o", "f.heic", "f.png"}) ? QString() : "heif-enc (libheif-examples)");
    const auto claiming = [heic = ReadAll(t.File("f.heic"))](quint32 w, quint32 h) {
        QByteArray b = heic;
        const quint32 size[] = {w, h};
        qToBigEndian<quint32>(size, 2, b.data() + b.indexOf("ispe") + 8);   // after its version and flags
        return b;
    };
    const QByteArray gif = ReadAll(t.File("b.gif"));
    const std::tuple<QString, QByteArray, QString> rows[] = {
        {"broken.png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(40, 'x'), ""},
        {"broken.heic", QByteArray("\0\0\0\x18" "ftypheic", 12) + QByteArray(40, 'x'), ""},
        {"cut.gif", gif.left(gif.size() / 2), "it is cut short."},
        {"less.heic", claiming(40, 30), "its picture is not the size it says."},
        {"more.heic", claiming(400, 300), "its picture is not the size it says."},
        {"claims.heic", claiming(100000, 100000), "exceeds the maximum image size 32768x32768."},
        {"huge.png", ReadAll(t.File("huge.png")), "it has more than 100 megapixels (10001 x 10000)."},
    };
    for (const auto& [name, bytes, why] : rows) {
        WriteAll(t.File(name), bytes);
        QString text;
        try {
            readPhoto(t.File(name), background, name);
        } catch (const EGlimmerError& e) {
            text = e.Text();
        }
        EXPECT_TRUE(text.startsWith(QStringLiteral("The picture %1 cannot be read: ").arg(name))) << text.toStdString();
        EXPECT_TRUE(text.endsWith(why)) << text.toStdString();
    }
}

// Files that lie, made here: what each says of itself (its header, its
// name) is not what it holds. Each is refused in plain words naming it, or
// comes in within the cap; none is decoded beyond what it claimed.
const char* const liars = R"(
import os, struct, zlib
def chunk(kind, data): return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
def png(w, h, rows=b''):
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0)) + chunk(b'IDAT', rows) + chunk(b'IEND', b'')
def gif(sw, sh, fw, fh):   # a screen, and one picture of one pixel's data claiming fw x fh
    return (b'GIF89a' + struct.pack('<HHBBB', sw, sh, 0x80, 0, 0) + b'\0\0\0\xff\xff\xff'
            + b',' + struct.pack('<HHHHB', 0, 0, fw, fh, 0) + b'\x02\x02\x44\x01\x00;')
def save(name, data): open(name, 'wb').write(data)
save('frame.gif', gif(14142, 14142, 14142, 1))
save('outside.gif', gif(100, 100, 12000, 9000))
save('screen.gif', gif(10000, 10000, 10000, 10000))
save('dot.gif', gif(1, 1, 1, 1))
mhdr = struct.pack('>IIIIIII', 14142, 14142, 1, 0, 0, 0, 1)
save('movie.png', b'\x8aMNG\r\n\x1a\n' + chunk(b'MHDR', mhdr) + png(14142, 14142, zlib.compress(bytes(100)))[8:-12] + chunk(b'MEND', b''))
inner = png(14000, 14000, zlib.compress(bytes(100)))
save('icon.png', struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', 16, 16, 0, 0, 1, 32, len(inner), 22) + inner)
save('wide.png', png(100000, 1000))
save('empty.png', b'')
save('four.gif', b'GIF8')
save('jpeg.png', bytes.fromhex('ffd8ffe000104a46494600'))
os.mkfifo('swapped.png')
)";

// What photoToJpeg makes of `name`: its JPEG's size, or its message; under
// an address-space limit of `spareMb` more than is in use, in a child.
std::pair<QSize, QString> convertedOrRefused(const TempFolder& t, const QString& name, int spareMb)
{
    const auto convert = [&]() -> std::pair<QSize, QString> {
        try {
            return {QImage::fromData(photoToJpeg(t.File(name), background, name), "JPEG").size(), QString()};
        } catch (const EGlimmerError& e) {
            return {QSize(), e.Text()};
        }
    };
    if (spareMb == 0)
        return convert();
    const pid_t child = ::fork();
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t bytes = rlim_t(pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t(spareMb) << 20);
        const rlimit limit{bytes, bytes};
        ::setrlimit(RLIMIT_AS, &limit);
        WriteAll(t.File("said"), convert().second.toUtf8());
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return {QSize(), WIFEXITED(status) ? QString::fromUtf8(ReadAll(t.File("said"))) : QStringLiteral("signal %1").arg(WTERMSIG(status))};
}

TEST(PhotoConverter, FilesThatLieAreRefusedInPlainWordsOrComeInWithinTheCap)
{
    TempFolder t;
    GLIMMER_NEEDS_TOOLS(Runs("/usr/bin/python3", {"-c", liars}) ? QString() : "python3");
    struct Row { QString name; QString why; QSize size; int spareMb = 0; };
    const Row rows[] = {
        // Its screen, on which Qt draws it, is what counts, not what its picture claims.
        {"frame.gif", "it has more than 100 megapixels (14142 x 14142)."},
        // A picture beyond its screen is cut to the screen.
        {"outside.gif", "", {100, 100}},
        {"dot.gif", "", {1, 1}},
        {"wide.png", "it is 100000 x 1000 pixels, and a JPEG can be at most 65500 pixels wide or high."},
        // Named as a PNG, they are not one, and Qt's readers of their
        // formats (libmng of 2007 among them) never see them.
        {"movie.png", "it is not a PNG, GIF, TIFF, WebP, HEIC, HEIF or AVIF picture."},
        {"icon.png", "it is not a PNG, GIF, TIFF, WebP, HEIC, HEIF or AVIF picture."},
        {"empty.png", "it is empty."},
        {"four.gif", "it is cut short."},
        {"jpeg.png", "it is not a PNG, GIF, TIFF, WebP, HEIC, HEIF or AVIF picture."},
        // Swapped for a pipe: refused at once, as every file of the program.
        {"swapped.png", "File access denied."},
        // 400 MB read, and as much again where Qt's reader keeps its own:
        // the copy that cannot be had is said, never written through.
        {"screen.gif", "Not enough memory.", {}, 600},
    };
    // Should anything wait on the pipe for a writer, one comes, and says so.
    std::atomic<bool> done{false}, waited{false};
    std::thread writer([&] {
        for (int i = 0; !done; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(100)))
            if (const int fd = i >= 20 ? ::open(qPrintable(t.File("swapped.png")), O_WRONLY | O_NONBLOCK | O_CLOEXEC) : -1; fd >= 0)
                waited = (::close(fd), true);
    });
    for (const Row& row : rows) {
#ifdef GLIMMER_SANITIZE_BUILD
        if (row.spareMb)
            continue;   // the sanitizers need more address space than the limit leaves
#endif
        const auto [size, text] = convertedOrRefused(t, row.name, row.spareMb);
        EXPECT_EQ(text, row.why.isEmpty() ? QString() : "The picture " + row.name + " cannot be read: " + row.why) << qPrintable(row.name);
        EXPECT_EQ(size, row.size) << qPrintable(row.name);
    }
    done = true;
    writer.join();
    EXPECT_FALSE(waited);
}

// Up to 100 megapixels come in, at 8 bytes a pixel while Qt reads them: a
// 16-bit PNG of 16.8 megapixels takes 134 MB there.
TEST(PhotoConverter, ALargeSixteenBitPhotoComesIn)
{
    TempFolder t;
    GLIMMER_NEEDS_TOOLS(Runs("/usr/bin/python3", {"-c", pillow, "deep"}) ? QString() : "python3");
    const QImage ours = readPhoto(t.File("deep.png"), background, "deep.png");
    EXPECT_EQ(ours.size(), QSize(4100, 4100));
    EXPECT_EQ(ours.pixel(4099, 4099), qRgb(20, 40, 60));
}
