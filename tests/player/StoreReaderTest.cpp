#include "StoreReader.h"
#include "TestSupport.h"
#include "compiler/ImageStore.h"
#include "picture/JPEGBitmap.h"
#include "project/Project.h"
#include "toolkit/Files.h"
#include "toolkit/Graphics.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {
const QString binDir = QStringLiteral(GLIMMER_BIN_DIR "/");

QByteArray player() { return ReadAll(binDir + "GLIMMER.BIN"); }

const std::uint8_t* u8(const QByteArray& b) { return reinterpret_cast<const std::uint8_t*>(b.constData()); }

// Compiles a project of two pictures with the real compiler and player.
QByteArray compileTwoPictures(TempFolder& t, QByteArray* storeOut = nullptr)
{
    QImage red(30, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    red.save(t.File("RED.BMP"), "BMP");
    TJPEGBitmap blue;
    QImage b(16, 12, QImage::Format_RGB32);
    b.fill(Qt::blue);
    blue.SetImage(b);
    blue.SaveToFile(t.File("BLUE.JPG"));
    Project() = ProjectState{};
    Project().ProgramFolder = binDir;
    Project().ProjectFolder = t.Path();
    Project().ProjectFile = "TWO.SSJ";
    Project().Settings = NewProjectSettings();
    Project().Settings.ImageCount = 2;
    Project().Settings.Slot(1).SetName("RED.BMP");
    Project().Settings.Slot(2).SetName("BLUE.JPG");
    MessageRecorder rec;
    EXPECT_NO_THROW(CompileScreenSaver());
    const QByteArray scr = ReadAll(t.File("TWO.SCR"));
    if (storeOut)
        *storeOut = scr.mid(player().size());
    return scr;
}

QString refusal(const QByteArray& file)
{
    try {
        ReadAttachedStore(u8(file), std::uint64_t(file.size()));
    } catch (const EGlimmerError& e) {
        return e.Text();
    }
    return QString();
}

void put32(QByteArray& b, int at, std::int32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((std::uint32_t(v) >> (8 * i)) & 0xFF);
}
} // namespace

TEST(PlayerStore, TheExecutableImageEndsWhereThePlayerFileEnds)
{
    const QByteArray bin = player();
    ASSERT_GT(bin.size(), 1000);
    const auto size = ExecutableImageSize(u8(bin), std::uint64_t(bin.size()));
    ASSERT_TRUE(size.has_value());
    EXPECT_EQ(*size, std::uint64_t(bin.size()));
    // The test program itself, with its debug sections, also reads right.
    const QByteArray self = ReadAll(QCoreApplication::applicationFilePath());
    EXPECT_EQ(ExecutableImageSize(u8(self), std::uint64_t(self.size())).value_or(0), std::uint64_t(self.size()));
    EXPECT_FALSE(ExecutableImageSize(u8(QByteArray("not an executable at all, not at all.............................")), 66));
}

TEST(PlayerStore, ReadsWhatTheCompilerWrites)
{
    TempFolder t;
    QByteArray store;
    const QByteArray scr = compileTwoPictures(t, &store);
    const TImageStore s = ReadAttachedStore(u8(scr), std::uint64_t(scr.size()));
    EXPECT_EQ(s.Size, std::uint64_t(store.size()));
    EXPECT_EQ(s.Settings.ImageCount, 2);
    EXPECT_EQ(s.Settings.Slot(2).Name(), QString("BLUE.JPG"));
    TStorePictureSource source(s);
    EXPECT_TRUE(source.Exists("RED.BMP"));
    EXPECT_FALSE(source.Exists("GREEN.BMP"));
    TBitmap bmp;
    bmp.LoadFromStream(*source.Open("RED.BMP"));
    EXPECT_EQ(bmp.Width(), 30);
    EXPECT_EQ(QColor(bmp.Image().pixel(5, 5)), QColor(Qt::red));
    TJPEGBitmap jpeg;
    jpeg.LoadFromStream(*source.Open("BLUE.JPG"));
    EXPECT_EQ(jpeg.Width(), 16);
}

TEST(PlayerStore, RefusesDamagedFilesWithAMessage)
{
    TempFolder t;
    QByteArray store;
    const QByteArray scr = compileTwoPictures(t, &store);
    const int S = player().size();
    const int slot1 = S + 25, slot2 = S + 46;

    EXPECT_TRUE(refusal(player()).contains("holds no screensaver")) << refusal(player()).toStdString();
    EXPECT_TRUE(refusal(scr.left(S + 100)).contains("cut short"));
    EXPECT_TRUE(refusal(scr.left(scr.size() - 1)).contains("lies outside the file"));

    auto with = [&](int at, std::int32_t v) {
        QByteArray b = scr;
        put32(b, at, v);
        return refusal(b);
    };
    EXPECT_TRUE(with(S + 21, 0).contains("0 pictures"));
    EXPECT_TRUE(with(S + 21, 11).contains("11 pictures"));
    EXPECT_TRUE(with(slot2 + 13, store.size()).contains("picture 2"));            // offset past the end
    EXPECT_TRUE(with(slot1 + 13, 100).contains("picture 1"));                     // inside the settings
    EXPECT_TRUE(with(slot1 + 17, -1).contains("picture 1"));                      // negative size
    EXPECT_TRUE(with(slot1 + 17, INT32_MAX).contains("picture 1"));               // huge size
    EXPECT_TRUE(with(slot1 + 13, INT32_MAX).contains("picture 1"));               // huge offset
    QByteArray noName = scr;
    noName[slot2] = 0;
    EXPECT_TRUE(refusal(noName).contains("picture 2"));
    QByteArray badElf = scr;
    badElf[0] = 'X';
    EXPECT_TRUE(refusal(badElf).contains("damaged"));
    EXPECT_TRUE(refusal(scr).isEmpty());
}

TEST(PlayerStore, TimingsAreBroughtIntoRange)
{
    TempFolder t;
    QByteArray scr = compileTwoPictures(t);
    const int S = player().size();
    put32(scr, S + 5, 5000);    // FloatSpeed
    put32(scr, S + 13, 0);      // DisplaySeconds
    const TImageStore s = ReadAttachedStore(u8(scr), std::uint64_t(scr.size()));
    EXPECT_EQ(s.Settings.FloatSpeed, 999);
    EXPECT_EQ(s.Settings.DisplaySeconds, 1);
}

TEST(PlayerStore, NamesOfEveryScriptAreFoundAndShownAsTheyAre)
{
    TempFolder t;
    const QString holiday = QString::fromUtf8("ОТП~1.JPG"), cafe = QString::fromUtf8("CAFÉ.BMP");
    QImage green(10, 10, QImage::Format_RGB32);
    green.fill(Qt::green);
    TJPEGBitmap jpeg;
    jpeg.SetImage(green);
    jpeg.SaveToFile(t.File(holiday));
    green.save(t.File(cafe), "BMP");
    Project() = ProjectState{};
    Project().ProgramFolder = binDir;
    Project().ProjectFolder = t.Path();
    Project().ProjectFile = "HOLIDAY.SSJ";
    Project().Settings = NewProjectSettings();
    Project().Settings.ImageCount = 2;
    Project().Settings.Slot(1).SetName(holiday);
    Project().Settings.Slot(2).SetName(cafe);
    MessageRecorder rec;
    ASSERT_NO_THROW(CompileScreenSaver());
    const QByteArray scr = ReadAll(t.File("HOLIDAY.SCR"));
    const int S = player().size();
    // The bytes of the names as the slots keep them.
    EXPECT_EQ(scr.mid(S + 25, 13), QByteArray("\x0C\xD0\x9E\xD0\xA2\xD0\x9F~1.JPG"));
    EXPECT_EQ(scr.mid(S + 46, 9), QByteArray("\x08" "CAF\xC9.BMP"));

    const TImageStore s = ReadAttachedStore(u8(scr), std::uint64_t(scr.size()));
    TStorePictureSource source(s);
    EXPECT_TRUE(source.Exists(holiday));
    EXPECT_TRUE(source.Exists(cafe));
    TJPEGBitmap back;
    back.LoadFromStream(*source.Open(holiday));
    EXPECT_EQ(back.Width(), 10);
    EXPECT_EQ(DescribeStore(s, "HOLIDAY%2"),
              QString::fromUtf8("Screensaver: HOLIDAY%2\nPictures: 2 (ОТП~1.JPG, CAFÉ.BMP)\n"
                                "Mode: Random, each picture 2 times for 3 seconds\n\n"
                                "Made with Glimmer. Run it without options to show it full screen; "
                                "--window shows it in a window, --root on the desktop or in XScreenSaver."));
}
