// The store's pictures as the show engine reads them, for every player: the
// right bytes for each slot, the rule for which names are JPEG, and a
// show that runs on them without any window.
#include "Bytes.h"
#include "common/SelfFile.h"
#include "common/StorePictures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace player;

TEST(StorePictures, OnlyTheJpgExtensionInAnyCaseIsJpeg)
{
    for (const char* name : {"A.JPG", "a.jpg", "Photo.Jpg", "X.Y.JPG", "C:\\SAVERS\\PIC.JPG"})
        EXPECT_EQ(pictureFormatOf(name), PictureFormat::Jpeg) << name;
    for (const char* name : {"A.JPEG", "A.BMP", "A.JPG.BMP", "NOEXT", "DIR.JPG\\X", "C:X", "A.JP", ".JPGX"})
        EXPECT_EQ(pictureFormatOf(name), PictureFormat::Bitmap) << name;
}

TEST(StorePictures, EachSlotGivesItsOwnBytesAndNothingBeyondTheCount)
{
    Bytes b = storeOf(3, 7);
    for (std::size_t i = 0; i < 21; ++i)
        b[235 + i] = std::uint8_t(i);
    const StoreView store = readImageStore(b.data(), b.size());
    StorePictures pictures(store);
    EXPECT_FALSE(pictures.exists(0));
    EXPECT_TRUE(pictures.exists(1));
    EXPECT_TRUE(pictures.exists(3));
    EXPECT_FALSE(pictures.exists(4));
    EXPECT_THROW(pictures.open(4), std::runtime_error);
    for (int k = 1; k <= 3; ++k) {
        const std::unique_ptr<ByteSource> source = pictures.open(k);
        ASSERT_EQ(source->size(), 7u);
        std::uint8_t got[8] = {};
        EXPECT_EQ(source->read(got, sizeof got), 7u);
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(got[i], std::uint8_t((k - 1) * 7 + i)) << k;
    }
    EXPECT_EQ(pictures.format(1), PictureFormat::Bitmap);
    EXPECT_EQ(pictures.format(2), PictureFormat::Jpeg);
}

TEST(StorePictures, TheShowReadsTheStoresSettings)
{
    Bytes b = storeOf(2);
    b[4] = 1;
    put(b, 5, 995, 4);
    put(b, 9, 7, 4);
    const ShowSettings s = showSettingsOf(readImageStore(b.data(), b.size()).settings);
    EXPECT_EQ(s.mode, ShowMode::Float);
    EXPECT_EQ(s.timer1Interval(), 5);
    EXPECT_EQ(s.changeEvery, 7);
    EXPECT_EQ(s.displaySeconds, 3);
    EXPECT_EQ(s.displayTimes, 2);
    EXPECT_EQ(s.pictureCount, 2);
}

TEST(StorePictures, AShowRunsOnTheStoresPicturesHalvedToFit)
{
    // One bitmap of 300 x 100 in a store, shown on 200 x 150: halved once.
    const Bytes bmp = bitmapFile(300, 100, 200, 10, 30);
    Bytes b = storeOf(1, std::int32_t(bmp.size()));
    std::copy(bmp.begin(), bmp.end(), b.begin() + 235);
    const StoreView store = readImageStore(b.data(), b.size());
    StorePictures pictures(store);
    ShowEngine engine(showSettingsOf(store.settings), pictures, {}, DecodeWorker::Mode::Inline);
    engine.setArea(200, 150);
    engine.start(7, 0);
    const ShowFrame& f = engine.frame();
    ASSERT_TRUE(f.visible);
    ASSERT_TRUE(f.picture);
    EXPECT_EQ(f.rect.width, 150);
    EXPECT_EQ(f.rect.height, 50);
    EXPECT_LE(f.rect.right(), 200);
    EXPECT_LE(f.rect.bottom(), 150);
    EXPECT_EQ(f.picture->pixels.row(10)[10], 0xFFC80A1Eu);
    EXPECT_FALSE(engine.takeNotice());
}

TEST(StorePictures, APictureReadsTheSameEveryTimeWhereverItsBytesLie)
{
    // A picture of many pages, read twice: from a store in the program's own
    // memory, whose pages must never be given back (that would wipe them),
    // and from a mapped file, whose pages come back from the file.
    Bytes b = storeOf(1, 64 * 1024);
    for (std::size_t i = 235; i < b.size(); ++i)
        b[i] = std::uint8_t(i * 7 + 1);
    const Bytes picture(b.begin() + 235, b.end());
    char path[] = "/tmp/glimmer-store-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, b.data(), b.size()), ssize_t(b.size()));
    ::close(fd);
    const MappedFile file(path);
    ::unlink(path);
    ASSERT_TRUE(file.ok()) << file.problem();
    const StoreView inMemory = readImageStore(b.data(), b.size());
    const StoreView mapped = readImageStore(file.data(), file.size());
    for (const auto& [store, fromFile] : {std::pair{inMemory, false}, std::pair{mapped, true}}) {
        StorePictures pictures(store, fromFile);
        for (int round = 0; round < 2; ++round) {
            const std::unique_ptr<ByteSource> source = pictures.open(1);
            Bytes got(64 * 1024);
            ASSERT_EQ(source->read(got.data(), got.size()), got.size());
            EXPECT_TRUE(got == picture) << (fromFile ? "from the file" : "in memory") << ", read " << round + 1;
        }
    }
}
