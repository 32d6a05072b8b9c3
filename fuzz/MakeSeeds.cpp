// Writes seed inputs of the kinds the program itself makes into the folder
// given: pictures saved by our own bitmap classes, every kind of bitmap the
// tests write, EXIF blocks (ours and, when a corpus is given, its photos'),
// oriented photos and a picture of many scans, project files as the program
// writes them (and as damage leaves them), image stores packed by the
// compiler from such pictures, and screensaver files (a small executable
// image followed by a store). Usage: fuzz_seeds OUTDIR [CORPUSDIR]
#include "BitmapWriter.h"
#include "FuzzSupport.h"
#include "JpegBombs.h"

#include "compiler/ImageStore.h"
#include "picture/JPEGBitmap.h"
#include "project/Project.h"
#include "toolkit/Files.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <cstdio>

namespace {

QString out;

void Put(const QString& name, const QByteArray& bytes)
{
    QFile f(out + name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out + name));
        std::exit(1);
    }
}

QByteArray Record(const SaverSettings& s)
{
    const SettingsBytes b = s.Encode();
    return QByteArray(reinterpret_cast<const char*>(b.data()), SaverSettingsSize);
}

QImage Sample(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(image.rect(), QColor(30, 90, 160));
    p.setBrush(QColor(240, 200, 40));
    p.drawEllipse(QRect(w / 4, h / 4, w / 2, h / 2));
    return image;
}

QByteArray Saved(TBitmap& bitmap)
{
    TMemoryStream s;
    bitmap.SaveToStream(s);
    return s.Bytes();
}

// The smallest executable image the player's reader accepts: a 64-bit ELF
// header with no program or section headers.
QByteArray TinyElf()
{
    QByteArray h(64, '\0');
    h[0] = 0x7f;
    h[1] = 'E';
    h[2] = 'L';
    h[3] = 'F';
    h[4] = 2;   // 64-bit
    h[5] = 1;   // little-endian
    h[6] = 1;
    h[16] = 2;  // executable
    h[18] = 62; // x86-64
    h[20] = 1;
    h[52] = 64; // header size
    h[54] = 56; // program header entry size
    h[58] = 64; // section header entry size
    return h;
}

QByteArray Segment(int code, const QByteArray& payload)
{
    QByteArray s;
    s.append(char(0xFF)).append(char(code)).append(char((payload.size() + 2) >> 8)).append(char((payload.size() + 2) & 0xFF));
    return s + payload;
}

// "Exif\0\0" and a TIFF structure whose IFD0 holds the orientation.
QByteArray ExifBlock(int orientation, bool bigEndian)
{
    QByteArray t = bigEndian ? QByteArray("MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0", 19)
                             : QByteArray("II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0", 18);
    if (bigEndian)
        t.append(char(orientation)).append(QByteArray(6, '\0'));
    else
        t.append(char(orientation)).append(QByteArray(7, '\0'));
    return QByteArray("Exif\0\0", 6) + t;
}

QStringList CorpusJpegs(const QString& corpus)
{
    QStringList files;
    QDirIterator it(corpus, {"*.jpg", "*.jpeg", "*.JPG", "*.mpo"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    return files;
}

// The payloads of a JPEG file's APP1 segments that hold EXIF data.
QList<QByteArray> ExifBlocks(const QString& file)
{
    QFile f(file);
    QList<QByteArray> blocks;
    if (!f.open(QIODevice::ReadOnly))
        return blocks;
    const QByteArray b = f.readAll();
    const auto* p = reinterpret_cast<const uchar*>(b.constData());
    qsizetype i = 2;
    while (i + 4 <= b.size() && p[i] == 0xFF && p[i + 1] != 0xDA) {
        const int length = (p[i + 2] << 8) | p[i + 3];
        if (p[i + 1] == 0xE1 && b.mid(i + 4, 6) == QByteArray("Exif\0\0", 6))
            blocks << b.mid(i + 4, length - 2);
        i += 2 + length;
    }
    return blocks;
}

// One of each kind the bitmap reader knows, small.
QList<QByteArray> BitmapKinds()
{
    QList<QByteArray> kinds;
    auto index = [](int x, int y) { return std::uint32_t((x + 2 * y) % 3); };
    const QVector<QRgb> palette{qRgb(200, 30, 30), qRgb(30, 200, 30), qRgb(30, 30, 200)};
    for (int header : {12, 16, 40, 64, 108, 124})
        for (int bits : {1, 2, 4, 8}) {
            BitmapSpec s;
            s.headerSize = header;
            s.bits = bits;
            s.colorsUsed = header == 12 ? 0 : 3;
            kinds << WriteBitmap(s, 13, 5, index, palette);
        }
    const std::uint32_t masks[][4] = {{0x7C00, 0x03E0, 0x001F, 0}, {0xF800, 0x07E0, 0x001F, 0}, {0xE000, 0x1FF8, 0x0007, 0},
                                      {0x0F00, 0x00F0, 0x000F, 0xF000}, {0xFFE00000, 0x001FFC00, 0x000003FF, 0},
                                      {0xFE000000, 0x01FFFF80, 0x0000007F, 0}};
    for (const auto& m : masks)
        for (std::uint32_t compression : {3u, 6u}) {
            BitmapSpec s;
            s.bits = m[0] > 0xFFFF ? 32 : 16;
            s.compression = compression;
            s.headerSize = compression == 6 ? 40 : 124;
            std::copy(std::begin(m), std::end(m), s.masks);
            kinds << WriteBitmap(s, 9, 4, [](int x, int y) { return std::uint32_t(x * 0x1234567u + y * 0x89ABCu); });
        }
    BitmapSpec rgb;
    kinds << WriteBitmap(rgb, 7, 3, [](int x, int y) { return std::uint32_t(x * 0x101010u + y); });
    rgb.topDown = true;
    kinds << WriteBitmap(rgb, 7, 3, [](int x, int y) { return std::uint32_t(x * 0x101010u + y); });
    BitmapSpec rle;
    rle.bits = 8;
    rle.compression = 1;
    kinds << WriteRunLengthBitmap(rle, 8, 4, QByteArray::fromHex("0301000305060700000902000001010002020102040001"), palette);
    rle.bits = 4;
    rle.compression = 2;
    kinds << WriteRunLengthBitmap(rle, 8, 2, QByteArray::fromHex("0512" "0003" "0120" "0000" "0221" "0001"), palette);
    return kinds;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTDIR [CORPUSDIR]\n");
        return 2;
    }
    FuzzInit(&argc, &argv);
    out = IncludeTrailingPathDelimiter(QFileInfo(QFile::decodeName(argv[1])).absoluteFilePath());
    for (const char* sub : {"Jpeg", "Bitmap", "BitmapReader", "Exif", "Converter", "Project", "Store"})
        QDir().mkpath(out + QLatin1String(sub));

    // Every kind of bitmap our reader knows, as the tests write them.
    int kind = 0;
    for (const QByteArray& bmp : BitmapKinds()) {
        Put(QStringLiteral("Bitmap/kind-%1.bmp").arg(kind), bmp);
        Put(QStringLiteral("BitmapReader/kind-%1.bmp").arg(kind++), bmp);
    }
    // EXIF blocks: every orientation in both byte orders, and those of the
    // corpus's photos.
    for (int o = 0; o <= 9; ++o)
        for (bool big : {false, true})
            Put(QStringLiteral("Exif/orientation-%1-%2.exif").arg(o).arg(big ? "mm" : "ii"), ExifBlock(o, big));
    int found = 0;
    for (const QString& jpeg : argc > 2 ? CorpusJpegs(QFileInfo(QFile::decodeName(argv[2])).absoluteFilePath()) : QStringList())
        for (const QByteArray& block : ExifBlocks(jpeg))
            Put(QStringLiteral("Exif/corpus-%1.exif").arg(found++), block);
    // Photos with an orientation, and a small picture of many scans.
    {
        TJPEGBitmap photo;
        photo.SetImage(Sample(40, 24));
        const QByteArray plain = Saved(photo);
        for (int o : {3, 6, 8})
            Put(QStringLiteral("Jpeg/oriented-%1.jpg").arg(o), plain.left(2) + Segment(0xE1, ExifBlock(o, o == 6)) + plain.mid(2));
        Put(QStringLiteral("Jpeg/many-scans.jpg"), ManyScansBomb(16, 16));
    }

    // Pictures as the program saves them.
    for (const QSize size : {QSize(1, 1), QSize(17, 9), QSize(64, 48)}) {
        TJPEGBitmap jpeg;
        jpeg.SetImage(Sample(size.width(), size.height()));
        Put(QStringLiteral("Jpeg/saved-%1x%2.jpg").arg(size.width()).arg(size.height()), Saved(jpeg));
        TBitmap bmp;
        bmp.SetImage(Sample(size.width(), size.height()));
        Put(QStringLiteral("Bitmap/saved-%1x%2.bmp").arg(size.width()).arg(size.height()), Saved(bmp));
    }

    // Photos for the converter, in each format Qt writes here, with and
    // without transparency.
    for (const char* format : {"png", "gif", "tiff", "webp"}) {
        QImage clear = Sample(33, 21).convertToFormat(QImage::Format_ARGB32);
        clear.setPixel(0, 0, qRgba(10, 20, 30, 0));
        for (const auto& [image, kind] : {std::pair{Sample(33, 21), "opaque"}, std::pair{clear, "clear"}}) {
            QByteArray bytes;
            QBuffer buffer(&bytes);
            if (buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format))
                Put(QStringLiteral("Converter/%1.%2").arg(QLatin1String(kind), QLatin1String(format)), bytes);
        }
    }

    // Qt writes no GIF: one of a pixel, and one whose picture claims more than its screen.
    const QByteArray gifHead("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff", 19);
    const QByteArray gifData("\x00\x02\x02\x44\x01\x00;", 7);
    Put(QStringLiteral("Converter/dot.gif"), gifHead + QByteArray(",\0\0\0\0\x01\0\x01\0", 9) + gifData);
    Put(QStringLiteral("Converter/beyond.gif"), gifHead + QByteArray(",\0\0\0\0\x40\0\x30\0", 9) + gifData);

    // Project files: new, filled, with names that reach out, short and long.
    SaverSettings s = newProjectSettings();
    Put(QStringLiteral("Project/new.ssj"), Record(s));
    s.ImageCount = 3;
    setSlotName(s.Slot(1), QStringLiteral("A.BMP"));
    setSlotName(s.Slot(2), QStringLiteral("B.JPG"));
    setSlotName(s.Slot(3), QStringLiteral("C.BMP"));
    Put(QStringLiteral("Project/three.ssj"), Record(s));
    Put(QStringLiteral("Project/short.ssj"), Record(s).left(100));
    Put(QStringLiteral("Project/long.ssj"), Record(s) + QByteArray(65, 'x'));
    setSlotName(s.Slot(4), QStringLiteral("../OUTSIDE.BMP"));
    setSlotName(s.Slot(5), QStringLiteral("SUB/X.BMP"));
    setSlotName(s.Slot(6), QStringLiteral(".."));
    s.ImageCount = 6;
    Put(QStringLiteral("Project/reaching-out.ssj"), Record(s));
    s.ImageCount = 200;
    s.DisplayMode = 7;
    s.FloatSpeed = -5;
    s.Slot(7).NameLength = 99;
    Put(QStringLiteral("Project/damaged.ssj"), Record(s));

    // Stores packed by the compiler, alone and behind an executable image.
    QTemporaryDir work;
    const QString saved = GetCurrentDir();
    SetCurrentDir(work.path());
    const QString names[] = {QStringLiteral("P1.JPG"), QStringLiteral("P2.BMP")};
    {
        TJPEGBitmap jpeg;
        jpeg.SetImage(Sample(227, 149));
        TBitmap bmp;
        bmp.SetImage(Sample(119, 96));
        QFile p1(names[0]), p2(names[1]);
        if (!p1.open(QIODevice::WriteOnly) || p1.write(Saved(jpeg)) < 0 || !p2.open(QIODevice::WriteOnly) || p2.write(Saved(bmp)) < 0) {
            std::fprintf(stderr, "cannot write the pictures to pack\n");
            return 1;
        }
    }
    SaverSettings store = newProjectSettings();
    QStringList list;
    for (int i = 0; i < 2; ++i) {
        setSlotName(store.Slot(int(list.size()) + 1), names[i]);
        list << names[i];
    }
    store.ImageCount = int(list.size());
    if (!list.isEmpty()) {
        try {
            PackImageStore(store, list, QStringLiteral("S.SSC"));
            QFile f(QStringLiteral("S.SSC"));
            f.open(QIODevice::ReadOnly);
            const QByteArray bytes = f.readAll();
            Put(QStringLiteral("Store/packed.ssc"), bytes);
            Put(QStringLiteral("Store/packed.scr"), TinyElf() + bytes);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "packing failed: %s\n", e.what());
            return 1;
        }
    }
    // A store of one small picture saved by the program.
    {
        TJPEGBitmap jpeg;
        jpeg.SetImage(Sample(8, 8));
        const QByteArray pic = Saved(jpeg);
        SaverSettings one = newProjectSettings();
        one.ImageCount = 1;
        setSlotName(one.Slot(1), QStringLiteral("ONE.JPG"));
        one.Slot(1).Offset = SaverSettingsSize;
        one.Slot(1).Size = std::int32_t(pic.size());
        Put(QStringLiteral("Store/one.ssc"), Record(one) + pic);
        Put(QStringLiteral("Store/one.scr"), TinyElf() + Record(one) + pic);
    }
    SetCurrentDir(saved);
    return 0;
}
