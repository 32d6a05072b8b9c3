// Every picture of the public corpus goes through the loader the program
// would use for it: JPEG rows through TJPEGBitmap, BMP rows through the bitmap
// loader. Each one loads with the listed size or fails with a message; none
// crashes.
#include "TestSupport.h"
#include "picture/JPEGBitmap.h"

#include <QFile>
#include <QTextStream>
#include <gtest/gtest.h>

namespace {

struct Row {
    QString Path;
    QString Format;     // jpeg | bmp
    QString Expected;   // "ok WxH N" | fail | fail-warning
    QString Note;
};

QVector<Row> ReadManifest()
{
    QVector<Row> rows;
    QFile f(CorpusPath() + "MANIFEST.tsv");
    if (!f.open(QIODevice::ReadOnly))
        return rows;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList cells = line.split('\t');
        if (cells.size() < 3)
            continue;
        rows.push_back({cells[0], cells[1], cells[2], cells.value(3)});
    }
    return rows;
}

// Rows where either outcome is defensible: the suite's "may load or be
// rejected" files, its invalid files (rejected or decoded leniently), and
// files on which the reference decoders disagree.
bool EitherOutcome(const Row& r)
{
    return r.Path.startsWith("bmpsuite/q/") || r.Path.startsWith("bmpsuite/b/") || r.Note.contains("deciders-disagree");
}

} // namespace

TEST(Corpus, ManifestIsThere)
{
    GLIMMER_NEEDS_CORPUS();
    EXPECT_GT(ReadManifest().size(), 50);
}

TEST(Corpus, EveryFileLoadsWithItsSizeOrFailsWithAMessage)
{
    GLIMMER_NEEDS_CORPUS();
    const QVector<Row> rows = ReadManifest();
    ASSERT_FALSE(rows.isEmpty());
    int loaded = 0, failed = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.Path.toStdString());
        std::unique_ptr<TBitmap> bitmap =
            r.Format == "jpeg" ? std::make_unique<TJPEGBitmap>() : std::make_unique<TBitmap>();
        // A picture held before a failed load must survive it.
        QImage before(3, 2, QImage::Format_RGB32);
        before.fill(qRgb(1, 2, 3));
        bitmap->SetImage(before);

        bool ok = false;
        QString message;
        try {
            bitmap->LoadFromFile(CorpusPath() + r.Path);
            ok = true;
        } catch (const std::exception& e) {
            message = QString::fromUtf8(e.what());
        }
        if (ok) {
            ++loaded;
        } else {
            ++failed;
            EXPECT_FALSE(message.isEmpty());
            EXPECT_EQ(bitmap->Width(), 3);
            EXPECT_EQ(bitmap->Image().pixel(0, 0), qRgb(1, 2, 3));
        }
        if (EitherOutcome(r)) {
            if (ok && r.Expected.startsWith("ok ")) {
                const QStringList size = r.Expected.split(' ')[1].split('x');
                EXPECT_EQ(bitmap->Width(), size[0].toInt());
                EXPECT_EQ(bitmap->Height(), size[1].toInt());
            }
            continue;
        }
        if (r.Expected.startsWith("ok ")) {
            EXPECT_TRUE(ok) << message.toStdString();
            const QStringList size = r.Expected.split(' ')[1].split('x');
            ASSERT_EQ(size.size(), 2);
            EXPECT_EQ(bitmap->Width(), size[0].toInt());
            EXPECT_EQ(bitmap->Height(), size[1].toInt());
        } else {
            EXPECT_FALSE(ok) << "expected " << r.Expected.toStdString();
        }
    }
    EXPECT_GT(loaded, 0);
    EXPECT_GT(failed, 0);
}
