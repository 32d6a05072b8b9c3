// The image store checks every player makes, and what /c says.
#include "Bytes.h"
#include "common/Store.h"

#include <gtest/gtest.h>

using namespace player;

namespace {
std::string refusal(const Bytes& b)
{
    try {
        readImageStore(b.data(), b.size());
    } catch (const StoreError& e) {
        return e.what();
    }
    return {};
}
} // namespace

TEST(SharedStore, AGoodStoreGivesEachPicturesBytes)
{
    const Bytes b = storeOf(3, 7);
    const StoreView s = readImageStore(b.data(), b.size());
    EXPECT_EQ(s.settings.ImageCount, 3);
    EXPECT_EQ(s.pictureData(2), b.data() + 235 + 7);
    EXPECT_EQ(s.pictureSize(3), 7u);
    EXPECT_EQ(s.settings.Slot(2).Name(), "B.JPG");
}

TEST(SharedStore, DamagedStoresAreRefusedWithTheProgramsTexts)
{
    const Bytes good = storeOf(2, 10);
    EXPECT_EQ(refusal(Bytes{}), "This program holds no screensaver. Compile one with Glimmer: it writes the player followed by your pictures into NAME.SCR");
    EXPECT_EQ(refusal(Bytes(good.begin(), good.begin() + 100)), "This screensaver file is damaged: its settings are cut short (100 of 235 bytes)");
    EXPECT_EQ(refusal(Bytes(good.begin(), good.end() - 1)), "This screensaver file is damaged: picture 2 (B.JPG) lies outside the file");
    auto with = [&](std::size_t at, std::uint64_t v) {
        Bytes b = good;
        put(b, at, v, 4);
        return refusal(b);
    };
    EXPECT_EQ(with(21, 0), "This screensaver file is damaged: it names 0 pictures, not 1 to 10");
    EXPECT_EQ(with(21, 11), "This screensaver file is damaged: it names 11 pictures, not 1 to 10");
    EXPECT_EQ(with(21, 0xFFFFFFFF), "This screensaver file is damaged: it names -1 pictures, not 1 to 10");
    const std::size_t slot1 = 25, slot2 = 46;
    EXPECT_EQ(with(slot1 + 13, 234), "This screensaver file is damaged: picture 1 (A.BMP) lies outside the file");
    EXPECT_EQ(with(slot1 + 17, 0xFFFFFFFF), "This screensaver file is damaged: picture 1 (A.BMP) lies outside the file");
    EXPECT_EQ(with(slot1 + 13, 0x7FFFFFFF), "This screensaver file is damaged: picture 1 (A.BMP) lies outside the file");
    EXPECT_EQ(with(slot1 + 17, 0x7FFFFFFF), "This screensaver file is damaged: picture 1 (A.BMP) lies outside the file");
    EXPECT_EQ(with(slot2 + 13, 0x80000000), "This screensaver file is damaged: picture 2 (B.JPG) lies outside the file");
    Bytes noName = good;
    noName[slot2] = 0;
    EXPECT_EQ(refusal(noName), "This screensaver file is damaged: picture 2 has no proper name");
    noName[slot2] = 13;
    EXPECT_EQ(refusal(noName), "This screensaver file is damaged: picture 2 has no proper name");
    EXPECT_EQ(refusal(good), "");
    // A picture of no bytes, ending exactly at the end, is inside.
    Bytes empty = good;
    put(empty, slot2 + 13, good.size(), 4);
    put(empty, slot2 + 17, 0, 4);
    EXPECT_EQ(refusal(empty), "");
}

TEST(SharedStore, TheStoreIsFoundAfterThePlayersImage)
{
    Bytes file(64, 0);
    putText(file, 0, "\x7F" "ELF");
    file[4] = 2;
    file[5] = 1;
    const Bytes store = storeOf(1, 3);
    file.insert(file.end(), store.begin(), store.end());
    const StoreView s = readAttachedStore(file.data(), file.size());
    EXPECT_EQ(s.data, file.data() + 64);
    EXPECT_EQ(s.size, store.size());
    file[0] = 'X';
    try {
        readAttachedStore(file.data(), file.size());
        FAIL() << "a file that is no program was taken";
    } catch (const StoreError& e) {
        EXPECT_STREQ(e.what(), "This screensaver file is damaged: its program part cannot be read (it is neither an ELF nor a PE program)");
    }
}

TEST(SharedStore, TimingsOutOfRangeAreBroughtIntoRange)
{
    Bytes b = storeOf(1);
    put(b, 5, 5000, 4);
    put(b, 13, 0, 4);
    b[4] = 9;
    const StoreView s = readImageStore(b.data(), b.size());
    EXPECT_EQ(s.settings.FloatSpeed, 999);
    EXPECT_EQ(s.settings.DisplaySeconds, 1);
    EXPECT_EQ(s.settings.DisplayMode, 1);
}

TEST(SharedStore, ConfigTextSaysWhatTheScreensaverHolds)
{
    Bytes b = storeOf(2);
    const std::string tail = "\n\nMade with Glimmer. Run it without options to show it full screen; "
                             "--window shows it in a window, --root on the desktop or in XScreenSaver.";
    EXPECT_EQ(describeStore(readImageStore(b.data(), b.size()), "SUNSET"),
              "Screensaver: SUNSET\nPictures: 2 (A.BMP, B.JPG)\nMode: Random, each picture 2 times for 3 seconds" + tail);
    put(b, 17, 1, 4);
    put(b, 13, 1, 4);
    EXPECT_EQ(describeStore(readImageStore(b.data(), b.size()), "SUNSET"),
              "Screensaver: SUNSET\nPictures: 2 (A.BMP, B.JPG)\nMode: Random, each picture 1 time for 1 second" + tail);
    b[4] = 1;
    put(b, 9, 12, 4);
    put(b, 5, 899, 4);
    EXPECT_EQ(describeStore(readImageStore(b.data(), b.size()), "%s%n"),
              "Screensaver: %s%n\nPictures: 2 (A.BMP, B.JPG)\nMode: Float, a new picture every 12 seconds, a step every 101 ms" + tail);
}

TEST(SharedStore, ConfigTextShowsNamesButNoTerminalControls)
{
    Bytes b = storeOf(2);
    putText(b, 25, "\x06" "\x1B[2J.J");     // ESC [ 2 J: clear the screen
    putText(b, 46, "\x05" "X\x9B\xC9.B");    // not UTF-8: a C1 control, then Latin-1 É
    const std::string text = describeStore(readImageStore(b.data(), b.size()), "A\nB");
    EXPECT_EQ(text.substr(0, text.find("\nMode")), "Screensaver: A?B\nPictures: 2 (?[2J.J, X?\xC3\x89.B)");
}
