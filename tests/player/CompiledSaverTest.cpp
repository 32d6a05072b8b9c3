// What the X11 player reads of a compiled screensaver: the store after its
// own executable image, checked, and each slot's picture decoded from it by
// the show engine. Screensavers are made by the real compiler and player.
#include "TestSupport.h"
#include "compiler/ImageStore.h"
#include "picture/JPEGBitmap.h"
#include "project/Project.h"

#include "common/ExecutableImage.h"
#include "common/Store.h"
#include "common/StorePictures.h"

#include <QCoreApplication>
#include <QImage>
#include <gtest/gtest.h>

namespace {
const QString binDir = QStringLiteral(GLIMMER_BIN_DIR "/");

QByteArray playerFile() { return ReadAll(binDir + "GLIMMER.BIN"); }

const std::uint8_t* u8(const QByteArray& b) { return reinterpret_cast<const std::uint8_t*>(b.constData()); }

// Compiles a project of two pictures with the real compiler and player: a
// bitmap, and a JPEG named as phones name them (.JPEG).
QByteArray compileTwoPictures(TempFolder& t, QByteArray* storeOut = nullptr)
{
    QImage red(30, 20, QImage::Format_RGB32);
    red.fill(Qt::red);
    red.save(t.File("RED.BMP"), "BMP");
    TJPEGBitmap blue;
    QImage b(16, 12, QImage::Format_RGB32);
    b.fill(Qt::blue);
    blue.SetImage(b);
    blue.SaveToFile(t.File("BLUE.JPEG"));
    Project() = ProjectState{};
    Project().ProgramFolder = binDir;
    Project().ProjectFolder = t.Path();
    Project().ProjectFile = "TWO.SSJ";
    Project().Settings = newProjectSettings();
    Project().Settings.ImageCount = 2;
    setSlotName(Project().Settings.Slot(1), "RED.BMP");
    setSlotName(Project().Settings.Slot(2), "BLUE.JPEG");
    MessageRecorder rec;
    EXPECT_NO_THROW(compileProject(Project()));
    const QByteArray scr = ReadAll(t.File("TWO.SCR"));
    if (storeOut)
        *storeOut = scr.mid(playerFile().size());
    return scr;
}

player::StoreView attached(const QByteArray& file) { return player::readAttachedStore(u8(file), std::uint64_t(file.size())); }

std::string refusal(const QByteArray& file)
{
    try {
        attached(file);
    } catch (const player::StoreError& e) {
        return e.what();
    }
    return {};
}

void put32(QByteArray& b, int at, std::int32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((std::uint32_t(v) >> (8 * i)) & 0xFF);
}

// The slot's picture as the show decodes it for an area.
FittedPicture decodeSlot(player::StorePictures& pictures, int slot, int areaWidth = 800, int areaHeight = 600)
{
    const std::unique_ptr<ByteSource> source = pictures.open(slot);
    return decodeToFit(*source, pictures.format(slot), areaWidth, areaHeight, FitRule::LargerThan, DecodeControl());
}

bool contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }
} // namespace

TEST(PlayerStore, TheExecutableImageEndsWhereThePlayerFileEnds)
{
    const QByteArray bin = playerFile();
    ASSERT_GT(bin.size(), 1000);
    const player::ImageSize size = player::executableImageSize(u8(bin), std::uint64_t(bin.size()));
    ASSERT_TRUE(size.ok()) << size.problem;
    EXPECT_EQ(size.end, std::uint64_t(bin.size()));
    // The test program itself, with its debug sections, also reads right.
    const QByteArray self = ReadAll(QCoreApplication::applicationFilePath());
    EXPECT_EQ(player::executableImageSize(u8(self), std::uint64_t(self.size())).end, std::uint64_t(self.size()));
    const QByteArray junk("not an executable at all, not at all.............................");
    EXPECT_FALSE(player::executableImageSize(u8(junk), std::uint64_t(junk.size())).ok());
}

TEST(PlayerStore, ReadsWhatTheCompilerWrites)
{
    TempFolder t;
    QByteArray store;
    const QByteArray scr = compileTwoPictures(t, &store);
    const player::StoreView s = attached(scr);
    EXPECT_EQ(s.size, std::uint64_t(store.size()));
    EXPECT_EQ(s.settings.ImageCount, 2);
    EXPECT_EQ(s.settings.Slot(2).Name(), "BLUE.JPEG");
    player::StorePictures pictures(s);
    EXPECT_TRUE(pictures.exists(1));
    EXPECT_TRUE(pictures.exists(2));
    EXPECT_FALSE(pictures.exists(3));
    EXPECT_FALSE(pictures.exists(0));
    EXPECT_EQ(pictures.format(1), PictureFormat::Bitmap);
    const FittedPicture red = decodeSlot(pictures, 1);
    EXPECT_EQ(red.shownWidth(), 30);
    EXPECT_EQ(red.pixels.row(5)[5] & 0xFFFFFF, 0xFF0000u);
    const FittedPicture blue = decodeSlot(pictures, 2);
    EXPECT_EQ(blue.shownWidth(), 16);
    EXPECT_LT(blue.pixels.row(6)[8] & 0xFF0000, 0x100000u);
    EXPECT_GT(blue.pixels.row(6)[8] & 0xFF, 0xF0u);
    // The same picture again after its pages were given back.
    EXPECT_EQ(decodeSlot(pictures, 1).pixels.row(19)[29] & 0xFFFFFF, 0xFF0000u);
    EXPECT_THROW(pictures.open(3), std::exception);
}

TEST(PlayerStore, TheEngineShowsTheStoresPicturesHalvedToFitTheWindow)
{
    TempFolder t;
    const QByteArray scr = compileTwoPictures(t);
    const player::StoreView s = attached(scr);
    player::StorePictures pictures(s);
    ShowEngine engine(showSettingsOf(s.settings), pictures, {}, DecodeWorker::Mode::Inline);
    // A preview window smaller than the first picture.
    engine.setArea(20, 15);
    engine.start(7, 0);
    const ShowFrame& f = engine.frame();
    ASSERT_TRUE(f.visible);
    EXPECT_EQ(f.slot, 1);
    EXPECT_EQ(f.rect.width, 15);
    EXPECT_EQ(f.rect.height, 10);
    EXPECT_FALSE(engine.takeNotice().has_value());
}

TEST(PlayerStore, RefusesDamagedFilesWithAMessage)
{
    TempFolder t;
    QByteArray store;
    const QByteArray scr = compileTwoPictures(t, &store);
    const int S = playerFile().size();
    const int slot1 = S + 25, slot2 = S + 46;

    EXPECT_TRUE(contains(refusal(playerFile()), "holds no screensaver")) << refusal(playerFile());
    EXPECT_TRUE(contains(refusal(scr.left(S + 100)), "cut short"));
    EXPECT_TRUE(contains(refusal(scr.left(scr.size() - 1)), "lies outside the file"));

    auto with = [&](int at, std::int32_t v) {
        QByteArray b = scr;
        put32(b, at, v);
        return refusal(b);
    };
    EXPECT_TRUE(contains(with(S + 21, 0), "0 pictures"));
    EXPECT_TRUE(contains(with(S + 21, 11), "11 pictures"));
    EXPECT_TRUE(contains(with(slot2 + 13, store.size()), "picture 2"));   // offset past the end
    EXPECT_TRUE(contains(with(slot1 + 13, 100), "picture 1"));            // inside the settings
    EXPECT_TRUE(contains(with(slot1 + 17, -1), "picture 1"));             // negative size
    EXPECT_TRUE(contains(with(slot1 + 17, INT32_MAX), "picture 1"));      // huge size
    EXPECT_TRUE(contains(with(slot1 + 13, INT32_MAX), "picture 1"));      // huge offset
    QByteArray noName = scr;
    noName[slot2] = 0;
    EXPECT_TRUE(contains(refusal(noName), "picture 2"));
    QByteArray badElf = scr;
    badElf[0] = 'X';
    EXPECT_TRUE(contains(refusal(badElf), "damaged"));
    EXPECT_EQ(refusal(scr), "");
}

TEST(PlayerStore, TimingsAreBroughtIntoRange)
{
    TempFolder t;
    QByteArray scr = compileTwoPictures(t);
    const int S = playerFile().size();
    put32(scr, S + 5, 5000);   // FloatSpeed
    put32(scr, S + 13, 0);     // DisplaySeconds
    scr[S + 4] = 7;            // DisplayMode: anything but 0 is Float
    const ShowSettings show = showSettingsOf(attached(scr).settings);
    EXPECT_EQ(show.mode, ShowMode::Float);
    EXPECT_EQ(show.floatSpeed, 999);
    EXPECT_EQ(show.timer1Interval(), 1);
    EXPECT_EQ(show.displaySeconds, 1);
    EXPECT_EQ(show.pictureCount, 2);
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
    Project().Settings = newProjectSettings();
    Project().Settings.ImageCount = 2;
    setSlotName(Project().Settings.Slot(1), holiday);
    setSlotName(Project().Settings.Slot(2), cafe);
    MessageRecorder rec;
    ASSERT_NO_THROW(compileProject(Project()));
    const QByteArray scr = ReadAll(t.File("HOLIDAY.SCR"));
    const int S = playerFile().size();
    // The bytes of the names as the slots keep them.
    EXPECT_EQ(scr.mid(S + 25, 13), QByteArray("\x0C\xD0\x9E\xD0\xA2\xD0\x9F~1.JPG"));
    EXPECT_EQ(scr.mid(S + 46, 9), QByteArray("\x08" "CAF\xC9.BMP"));

    const player::StoreView s = attached(scr);
    player::StorePictures pictures(s);
    EXPECT_EQ(pictures.format(1), PictureFormat::Jpeg);
    EXPECT_EQ(pictures.format(2), PictureFormat::Bitmap);
    EXPECT_EQ(decodeSlot(pictures, 1).shownWidth(), 10);
    EXPECT_EQ(decodeSlot(pictures, 2).shownWidth(), 10);
    EXPECT_EQ(player::missingPictureText(s.settings.Slot(1).Name()), "The graphic ОТП~1.JPG was not found.");
    EXPECT_EQ(player::missingPictureText(s.settings.Slot(2).Name()), "The graphic CAFÉ.BMP was not found.");
    EXPECT_EQ(player::describeStore(s, "HOLIDAY%2"),
              "Screensaver: HOLIDAY%2\nPictures: 2 (ОТП~1.JPG, CAFÉ.BMP)\n"
              "Mode: Random, each picture 2 times for 3 seconds\n\n"
              "Made with Glimmer. Run it without options to show it full screen; "
              "--window shows it in a window, --root on the desktop or in XScreenSaver.");
}
