// Writes seed inputs of the kinds the program itself makes into the folder
// given: pictures saved by our own bitmap classes, project files as the
// program writes them (and as damage leaves them), image stores packed by the
// compiler from such pictures, and screensaver files (a small executable
// image followed by a store). Usage: fuzz_seeds OUTDIR
#include "FuzzSupport.h"

#include "compiler/ImageStore.h"
#include "picture/JPEGBitmap.h"
#include "project/Project.h"
#include "toolkit/Files.h"

#include <QDir>
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

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUTDIR\n");
        return 2;
    }
    FuzzInit(&argc, &argv);
    out = IncludeTrailingPathDelimiter(QFileInfo(QFile::decodeName(argv[1])).absoluteFilePath());
    for (const char* sub : {"Jpeg", "Bitmap", "Project", "Store"})
        QDir().mkpath(out + QLatin1String(sub));

    // Pictures as the program saves them.
    for (const QSize size : {QSize(1, 1), QSize(17, 9), QSize(64, 48)}) {
        TJPEGBitmap jpeg;
        jpeg.SetImage(Sample(size.width(), size.height()));
        Put(QStringLiteral("Jpeg/saved-%1x%2.jpg").arg(size.width()).arg(size.height()), Saved(jpeg));
        TBitmap bmp;
        bmp.SetImage(Sample(size.width(), size.height()));
        Put(QStringLiteral("Bitmap/saved-%1x%2.bmp").arg(size.width()).arg(size.height()), Saved(bmp));
    }

    // Project files: new, filled, with names that reach out, short and long.
    SaverSettings s = NewProjectSettings();
    Put(QStringLiteral("Project/new.ssj"), Record(s));
    s.ImageCount = 3;
    s.Slot(1).SetName(QStringLiteral("A.BMP"));
    s.Slot(2).SetName(QStringLiteral("B.JPG"));
    s.Slot(3).SetName(QStringLiteral("C.BMP"));
    Put(QStringLiteral("Project/three.ssj"), Record(s));
    Put(QStringLiteral("Project/short.ssj"), Record(s).left(100));
    Put(QStringLiteral("Project/long.ssj"), Record(s) + QByteArray(65, 'x'));
    s.Slot(4).SetName(QStringLiteral("../OUTSIDE.BMP"));
    s.Slot(5).SetName(QStringLiteral("SUB/X.BMP"));
    s.Slot(6).SetName(QStringLiteral(".."));
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
    SaverSettings store = NewProjectSettings();
    QStringList list;
    for (int i = 0; i < 2; ++i) {
        store.Slot(int(list.size()) + 1).SetName(names[i]);
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
        SaverSettings one = NewProjectSettings();
        one.ImageCount = 1;
        one.Slot(1).SetName(QStringLiteral("ONE.JPG"));
        one.Slot(1).Offset = SaverSettingsSize;
        one.Slot(1).Size = std::int32_t(pic.size());
        Put(QStringLiteral("Store/one.ssc"), Record(one) + pic);
        Put(QStringLiteral("Store/one.scr"), TinyElf() + Record(one) + pic);
    }
    SetCurrentDir(saved);
    return 0;
}
