// Our bitmap reader against two independent readers, ImageMagick
// (`/usr/bin/convert FILE ppm:-`) and Pillow (Debian's python3-pil): every
// bitmap that loads must be, on average over its channels, within 1.0 of the
// closer of the two. Run over the public corpus and over every kind of file
// our own writer makes; skipped, with the reason, where a tool is missing.
#include "BitmapWriter.h"
#include "TestSupport.h"
#include "toolkit/Graphics.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <optional>

namespace {

const char* const convertTool = "/usr/bin/convert";
const char* const pythonTool = "/usr/bin/python3";

bool HavePillow()
{
    QProcess p;
    p.start(pythonTool, {"-c", "import PIL"});
    return p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString MissingTools()
{
    QStringList missing;
    if (!QFileInfo(convertTool).isExecutable())
        missing << "ImageMagick's convert";
    if (!QFileInfo(pythonTool).isExecutable() || !HavePillow())
        missing << "Pillow (python3-pil)";
    return missing.join(" and ");
}

// A binary PPM (P6, maxval 255) as a picture; nothing when it is not one.
std::optional<QImage> ReadPpm(const QByteArray& data)
{
    int pos = 0;
    auto token = [&]() -> QByteArray {
        while (pos < data.size()) {
            if (data[pos] == '#')
                while (pos < data.size() && data[pos] != '\n')
                    ++pos;
            else if (QChar(data[pos]).isSpace())
                ++pos;
            else
                break;
        }
        const int start = pos;
        while (pos < data.size() && !QChar(data[pos]).isSpace())
            ++pos;
        return data.mid(start, pos - start);
    };
    if (token() != "P6")
        return std::nullopt;
    const int w = token().toInt(), h = token().toInt(), max = token().toInt();
    ++pos;
    // ImageMagick writes a bitmap of 4 bits per pixel with a maximum of 15.
    if (w <= 0 || h <= 0 || max < 1 || max > 255 || data.size() - pos < qsizetype(w) * h * 3)
        return std::nullopt;
    QImage image(w, h, QImage::Format_RGB32);
    const auto* p = reinterpret_cast<const uchar*>(data.constData()) + pos;
    auto level = [max](int v) { return (v * 255 + max / 2) / max; };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x, p += 3)
            image.setPixel(x, y, qRgb(level(p[0]), level(p[1]), level(p[2])));
    return image;
}

// The picture a program writes; with `lenient`, also when it reports a
// problem but still writes a whole picture (ImageMagick warns about an RLE
// bitmap that ends early, then writes the picture it read).
std::optional<QImage> Run(const QString& program, const QStringList& args, bool lenient)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || (p.exitCode() != 0 && !lenient))
        return std::nullopt;
    return ReadPpm(p.readAllStandardOutput());
}

// -depth 8: for a bitmap of 4 bits per pixel convert would otherwise write
// a PPM with a maximum of 15, losing colours it read right.
std::optional<QImage> ByImageMagick(const QString& file)
{
    return Run(convertTool, {file, "-depth", "8", "ppm:-"}, true);
}

std::optional<QImage> ByPillow(const QString& file)
{
    return Run(pythonTool,
               {"-c",
                "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nim.load()\n"
                "im.convert('RGB').save(sys.stdout.buffer, 'PPM')",
                file},
               false);
}

// Mean absolute difference over every channel of every pixel; infinite for
// pictures of different sizes.
double MeanDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return INFINITY;
    double total = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return total / (3.0 * a.width() * a.height());
}

struct Verdict {
    bool loaded = false;
    bool compared = false;   // at least one reference read it
    double difference = 0;   // from the closer one
    QString note;
};

// Our picture with each channel narrower than 8 bits given as ImageMagick
// gives it: its stored value shifted up, so that 3 bits of white make 224.
// (We scale exactly: 255. Pillow refuses such files; 16-bit 5-5-5 and 5-6-5,
// which ImageMagick and Pillow both widen nearly exactly, are compared with
// Pillow's.)
QImage ShiftedLikeImageMagick(QImage image, const std::uint32_t (&masks)[4])
{
    int widths[3];
    for (int c = 0; c < 3; ++c) {
        std::uint32_t m = masks[c];
        widths[c] = 0;
        while (m) {
            widths[c] += int(m & 1);
            m >>= 1;
        }
    }
    auto shifted = [&](int value, int c) {
        const int n = widths[c];
        if (n == 0 || n >= 8)
            return value;
        const int most = (1 << n) - 1;
        return ((value * most + 127) / 255) << (8 - n);
    };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            image.setPixel(x, y, qRgb(shifted(qRed(p), 0), shifted(qGreen(p), 1), shifted(qBlue(p), 2)));
        }
    return image;
}

// With `narrowMasks`, ImageMagick's picture is compared with ours shifted as
// it shifts channels narrower than 8 bits.
Verdict Judge(const QString& file, const std::uint32_t (*narrowMasks)[4] = nullptr)
{
    Verdict v;
    TBitmap ours;
    try {
        ours.LoadFromFile(file);
        v.loaded = true;
    } catch (const std::exception&) {
        return v;
    }
    const QImage forImageMagick = narrowMasks ? ShiftedLikeImageMagick(ours.Image(), *narrowMasks) : ours.Image();
    const auto im = ByImageMagick(file);
    const auto pil = ByPillow(file);
    const double toIm = im ? MeanDifference(forImageMagick, *im) : INFINITY;
    const double toPil = pil ? MeanDifference(ours.Image(), *pil) : INFINITY;
    v.compared = im || pil;
    v.difference = std::min(toIm, toPil);
    v.note = QString("imagemagick %1, pillow %2")
                 .arg(im ? QString::number(toIm, 'f', 3) : QString("refused"))
                 .arg(pil ? QString::number(toPil, 'f', 3) : QString("refused"));
    return v;
}

} // namespace

TEST(BitmapReference, EveryCorpusBitmapThatLoadsMatchesTheCloserReference)
{
    GLIMMER_NEEDS_TOOLS(MissingTools());
    GLIMMER_NEEDS_CORPUS();
    QFile manifest(CorpusPath() + "MANIFEST.tsv");
    ASSERT_TRUE(manifest.open(QIODevice::ReadOnly));
    QTextStream in(&manifest);
    int compared = 0;
    while (!in.atEnd()) {
        const QStringList cells = in.readLine().split('\t');
        if (cells.size() < 3 || cells[0].startsWith('#') || cells[1] != "bmp")
            continue;
        const Verdict v = Judge(CorpusPath() + cells[0]);
        if (!v.loaded || !v.compared)
            continue;
        ++compared;
        // An invalid file may be read leniently: an index past its palette
        // draws black here, index 0 in ImageMagick and grey in Pillow.
        if (cells.value(3).contains("suite=b")) {
            std::printf("%s (invalid, read leniently): %s\n", qPrintable(cells[0]), qPrintable(v.note));
            continue;
        }
        EXPECT_LE(v.difference, 1.0) << cells[0].toStdString() << ": " << v.note.toStdString();
    }
    EXPECT_GT(compared, 20);
}

namespace {

struct Kind {
    const char* name;
    QByteArray file;
    bool fields = false;   // packed pixels: masks below
    std::uint32_t masks[4] = {0, 0, 0, 0};
};

QRgb Grade(int i, int n) { return qRgb(255 * i / (n - 1), 255 - 200 * i / (n - 1), (i * 97) % 256); }

QVector<QRgb> Palette(int n)
{
    QVector<QRgb> p;
    for (int i = 0; i < n; ++i)
        p << Grade(i, n);
    return p;
}

// Packed values with every channel running through its whole range.
StoredPixel Fields(const std::uint32_t (&m)[4], int w, int h)
{
    return [m, w, h](int x, int y) {
        std::uint32_t v = 0;
        for (int c = 0; c < 3; ++c) {
            if (!m[c])
                continue;
            int shift = 0;
            while (!((m[c] >> shift) & 1))
                ++shift;
            const std::uint64_t most = std::uint64_t(m[c] >> shift);
            const std::uint64_t value = c == 0 ? most * std::uint64_t(x) / std::uint64_t(w - 1)
                                      : c == 1 ? most * std::uint64_t(y) / std::uint64_t(h - 1)
                                               : most * std::uint64_t(x + y) / std::uint64_t(w + h - 2);
            v |= std::uint32_t(value << shift);
        }
        return v;
    };
}

QVector<Kind> Kinds()
{
    const int w = 61, h = 23;
    QVector<Kind> k;
    auto indexed = [&](int bits, int entries) {
        return StoredPixel([bits, entries](int x, int y) { return std::uint32_t((x + 3 * y) % std::min(entries, 1 << bits)); });
    };
    for (int bits : {1, 2, 4, 8}) {
        BitmapSpec s;
        s.bits = bits;
        k.push_back({"paletted", WriteBitmap(s, w, h, indexed(bits, 1 << bits), Palette(1 << bits))});
    }
    {
        BitmapSpec s;
        s.bits = 8;
        s.colorsUsed = 12;
        k.push_back({"short palette", WriteBitmap(s, w, h, indexed(8, 12), Palette(12))});
        s.topDown = true;
        k.push_back({"top-down", WriteBitmap(s, w, h, indexed(8, 12), Palette(12))});
        s.topDown = false;
        s.gap = 30;
        k.push_back({"gap before the pixels", WriteBitmap(s, w, h, indexed(8, 12), Palette(12))});
    }
    for (int header : {12, 16, 64, 108, 124}) {
        BitmapSpec s;
        s.headerSize = header;
        s.bits = header == 12 ? 8 : 4;
        k.push_back({"other headers", WriteBitmap(s, w, h, indexed(s.bits, 1 << s.bits), Palette(1 << s.bits))});
    }
    {
        // OS/2 1.x with fewer palette entries than its depth, the offset
        // saying where the palette ends.
        BitmapSpec s;
        s.headerSize = 12;
        s.bits = 8;
        k.push_back({"OS/2 short palette", WriteBitmap(s, w, h, indexed(8, 20), Palette(20))});
    }
    const struct {
        int bits;
        std::uint32_t compression;
        int header;
        std::uint32_t masks[4];
    } fields[] = {
        {16, 0, 40, {}},
        {16, 3, 40, {0xF800, 0x07E0, 0x001F, 0}},
        {16, 3, 40, {0x7C00, 0x03E0, 0x001F, 0}},
        {16, 3, 56, {0xE000, 0x1FF8, 0x0007, 0}},        // 3-10-3
        {16, 3, 124, {0x0F00, 0x00F0, 0x000F, 0xF000}},   // 4-4-4 with alpha
        {24, 0, 40, {}},
        {32, 0, 40, {}},
        {32, 3, 40, {0x00FF0000, 0x0000FF00, 0x000000FF, 0}},
        {32, 3, 108, {0xFF000000, 0x00FF0000, 0x0000FF00, 0}},
        {32, 3, 124, {0xFFE00000, 0x001FFC00, 0x000003FF, 0}},   // 11-11-10
        {32, 3, 124, {0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000}},   // 10-10-10-2
        {32, 3, 56, {0xFE000000, 0x01FFFF80, 0x0000007F, 0}},   // 7-18-7
        {32, 6, 40, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}},
    };
    for (const auto& f : fields) {
        BitmapSpec s;
        s.bits = f.bits;
        s.compression = f.compression;
        s.headerSize = f.header;
        std::copy(std::begin(f.masks), std::end(f.masks), s.masks);
        std::uint32_t m[4];
        std::copy(std::begin(f.masks), std::end(f.masks), m);
        if (f.compression == 0)
            f.bits == 16 ? (m[0] = 0x7C00, m[1] = 0x03E0, m[2] = 0x001F) : (m[0] = 0xFF0000, m[1] = 0xFF00, m[2] = 0xFF);
        Kind kind{"bit fields", WriteBitmap(s, w, h, Fields(m, w, h), {})};
        kind.fields = true;
        std::copy(std::begin(m), std::end(m), kind.masks);
        k.push_back(kind);
    }
    {
        // Run-length coded rows: runs, literals, an early end of a row.
        BitmapSpec s;
        s.bits = 8;
        s.compression = 1;
        QByteArray data;
        for (int y = 0; y < h; ++y) {
            data += QByteArray::fromHex("0a03");               // 10 pixels of colour 3
            data += QByteArray::fromHex("0005") + QByteArray::fromHex("0102030405") + QByteArray(1, '\0');
            data += QByteArray(1, char(1 + y % 8)) + QByteArray(1, char(7));
            data += QByteArray::fromHex("0000");               // end of line
        }
        data += QByteArray::fromHex("0001");
        k.push_back({"rle8", WriteRunLengthBitmap(s, w, h, data, Palette(12))});
        BitmapSpec s4 = s;
        s4.bits = 4;
        s4.compression = 2;
        QByteArray d4;
        for (int y = 0; y < h; ++y) {
            d4 += QByteArray::fromHex("0b12");                 // 11 pixels alternating 1 and 2
            d4 += QByteArray::fromHex("0006") + QByteArray::fromHex("345678") + QByteArray(1, '\0');
            d4 += QByteArray::fromHex("0000");
        }
        d4 += QByteArray::fromHex("0001");
        k.push_back({"rle4", WriteRunLengthBitmap(s4, w, h, d4, Palette(12))});
    }
    return k;
}

} // namespace

TEST(BitmapReference, EveryKindOurWriterMakesMatchesTheCloserReference)
{
    GLIMMER_NEEDS_TOOLS(MissingTools());
    TempFolder t;
    int compared = 0, n = 0;
    for (const Kind& kind : Kinds()) {
        const QString file = t.File(QString("K%1.BMP").arg(n++));
        WriteAll(file, kind.file);
        const Verdict v = Judge(file, kind.fields ? &kind.masks : nullptr);
        ASSERT_TRUE(v.loaded) << kind.name << " " << n - 1;
        if (!v.compared)
            continue;
        ++compared;
        EXPECT_LE(v.difference, 1.0) << kind.name << " " << n - 1 << ": " << v.note.toStdString();
    }
    EXPECT_GT(compared, 15);
}
