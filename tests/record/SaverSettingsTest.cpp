// The settings record as the program and every player read it, byte by byte.
#include "Bytes.h"
#include "record/SaverSettings.h"

#include <gtest/gtest.h>

TEST(SaverSettingsRecord, EveryFieldIsReadLittleEndianAtItsOffset)
{
    Bytes b(235, 0);
    putText(b, 0, "\x11\x22\x33\x00");                            // colour 0x00332211
    b[4] = 1;                                                     // Float
    putText(b, 5, "\xE7\x03\x00\x00");                            // 999
    putText(b, 9, "\x3C\x00\x00\x00");                            // 60
    putText(b, 13, "\x01\x00\x00\x00");                           // 1
    putText(b, 17, "\x0F\x00\x00\x00");                           // 15
    putText(b, 21, "\x0A\x00\x00\x00");                           // 10
    putText(b, 25 + 21 * 9, "\x0CLONGNAME.JPG\xEB\x00\x00\x00\xFF\xFF\xFF\x7F");   // slot 10
    const SaverSettings s = SaverSettings::Decode(b.data());
    EXPECT_EQ(s.BackgroundColor, 0x00332211u);
    EXPECT_EQ(s.Mode(), ShowMode::Float);
    EXPECT_EQ(s.FloatSpeed, 999);
    EXPECT_EQ(s.ChangeEvery, 60);
    EXPECT_EQ(s.DisplaySeconds, 1);
    EXPECT_EQ(s.DisplayTimes, 15);
    EXPECT_EQ(s.ImageCount, 10);
    EXPECT_EQ(s.Slot(10).NameBytes(), "LONGNAME.JPG");
    EXPECT_EQ(s.Slot(10).Offset, 235);
    EXPECT_EQ(s.Slot(10).Size, INT32_MAX);
    EXPECT_EQ(s.Slot(1).NameBytes(), "");
}

TEST(SaverSettingsRecord, NegativeValuesAndLongNamesStayInsideTheRecord)
{
    Bytes b(235, 0);
    putText(b, 21, "\xFF\xFF\xFF\xFF");    // -1 pictures
    b[25] = 200;                           // a length byte far beyond 12
    putText(b, 26, "ABCDEFGHIJKLMNOP");    // runs into Offset
    const SaverSettings s = SaverSettings::Decode(b.data());
    EXPECT_EQ(s.ImageCount, -1);
    EXPECT_EQ(s.Slot(1).NameBytes(), "ABCDEFGHIJKL");
}

TEST(SaverSettingsRecord, NormalizeBringsEachValueToItsNearestBound)
{
    Bytes b = storeOf(1);
    b[4] = 7;
    put(b, 5, 5000, 4);
    put(b, 9, std::uint64_t(-3), 4);
    put(b, 13, 0, 4);
    put(b, 17, 99, 4);
    put(b, 21, 12, 4);
    b[25 + 21] = 13;
    SaverSettings s = SaverSettings::Decode(b.data());
    EXPECT_TRUE(s.Normalize());
    EXPECT_EQ(s.DisplayMode, 1);
    EXPECT_EQ(s.FloatSpeed, 999);
    EXPECT_EQ(s.ChangeEvery, 2);
    EXPECT_EQ(s.DisplaySeconds, 1);
    EXPECT_EQ(s.DisplayTimes, 15);
    EXPECT_EQ(s.ImageCount, 10);
    EXPECT_EQ(s.Slot(2).NameLength, 12);
    EXPECT_FALSE(s.Normalize()) << "a second time changes nothing";
    SaverSettings good = SaverSettings::Decode(storeOf(3).data());
    EXPECT_FALSE(good.Normalize());
}

TEST(SaverSettingsRecord, NamesReadAsUtf8WhenTheyAreElseAsLatin1)
{
    EXPECT_EQ(slotNameText("SUNSET.JPG"), "SUNSET.JPG");
    EXPECT_EQ(slotNameText("\xD0\x9E\xD0\xA2\xD0\x9F~1.JPG"), "\xD0\x9E\xD0\xA2\xD0\x9F~1.JPG");   // ОТП~1.JPG
    EXPECT_EQ(slotNameText("CAF\xC9.BMP"), "CAF\xC3\x89.BMP");                                      // CAFÉ.BMP
    EXPECT_EQ(slotNameText("\xC0\x80.BMP"), "\xC3\x80\xC2\x80.BMP") << "an overlong form is no UTF-8";
    EXPECT_EQ(slotNameText("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80") << "nor is a surrogate";
    EXPECT_EQ(slotNameText("AB\xE2\x82"), "AB\xC3\xA2\xC2\x82") << "nor a character cut short";
}
