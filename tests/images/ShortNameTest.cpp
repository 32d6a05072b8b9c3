// The short-name rule on its own: the name a picture gets in the project
// folder when its own does not fit a slot's 12 bytes.
#include "images/ShortName.h"

#include "project/SlotNames.h"

#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

QString firstFree(const QString& name, const QStringList& taken)
{
    const QSet<QString> set(taken.begin(), taken.end());
    return shortNameFor(name, [&set](const QString& c) { return set.contains(c); });
}

} // namespace

TEST(ShortName, SixCapitalsATildeANumberAndTheExtension)
{
    EXPECT_EQ(shortNameWith("IMG_20230514_123456.jpg", 1), "IMG_20~1.JPG");
    EXPECT_EQ(shortNameWith("img_20230514_123456.JPG", 1), "IMG_20~1.JPG");
    EXPECT_EQ(shortNameWith("Summer-holidays.bmp", 2), "SUMMER~2.BMP");
    EXPECT_EQ(shortNameWith("ABCD.JPG", 1), "ABCD~1.JPG");   // fewer letters than six: all of them
}

TEST(ShortName, CollisionsTakeTheNextNumberAndTheTenthGivesUpALetter)
{
    EXPECT_EQ(firstFree("IMG_20230514_123456.JPG", {}), "IMG_20~1.JPG");
    EXPECT_EQ(firstFree("IMG_20230514_123456.JPG", {"IMG_20~1.JPG"}), "IMG_20~2.JPG");
    EXPECT_EQ(firstFree("IMG_20230514_123456.JPG", {"IMG_20~1.JPG", "IMG_20~3.JPG"}), "IMG_20~2.JPG");
    QStringList nine;
    for (int n = 1; n <= 9; ++n)
        nine << QStringLiteral("IMG_20~%1.JPG").arg(n);
    EXPECT_EQ(firstFree("IMG_20230514_123456.JPG", nine), "IMG_2~10.JPG");
    EXPECT_EQ(shortNameWith("IMG_20230514_123456.JPG", 100), "IMG_~100.JPG");
    EXPECT_EQ(shortNameWith("IMG_20230514_123456.JPG", MaxShortNameNumber), "I~999999.JPG");
}

TEST(ShortName, SpacesDotsAndSignsAreLeftOut)
{
    EXPECT_EQ(shortNameWith("My holiday.at the sea (2).jpg", 1), "MYHOLI~1.JPG");
    EXPECT_EQ(shortNameWith("a.b.c.d.e.f.g.h.bmp", 1), "ABCDEF~1.BMP");
    EXPECT_EQ(shortNameWith("~~~~ !!! ~~~~.jpg", 1), "~1.JPG");
    EXPECT_EQ(shortNameWith("no extension at all", 1), "NOEXTE~1");
    EXPECT_EQ(shortNameWith("ends with a dot.", 1), "ENDSWI~1");
}

TEST(ShortName, JpegBecomesJpgAndLongExtensionsKeepThreeLetters)
{
    EXPECT_EQ(shortNameWith("Sunset over the bay.jpeg", 1), "SUNSET~1.JPG");
    EXPECT_EQ(shortNameWith("Sunset over the bay.JPEG", 1), "SUNSET~1.JPG");
    EXPECT_EQ(shortNameWith("Sunset over the bay.jpe", 1), "SUNSET~1.JPG");
    EXPECT_EQ(shortNameWith("Sunset over the bay.tiff", 1), "SUNSET~1.TIF");
}

TEST(ShortName, OtherScriptsTakeAsManyLettersAsTwelveBytesHold)
{
    // Two bytes a Cyrillic letter: three of them, "~1" and ".JPG" make twelve.
    EXPECT_EQ(shortNameWith(u("Отпуск 2023.jpg"), 1), u("ОТП~1.JPG"));
    EXPECT_EQ(shortNameWith(u("Отпуск 2023.jpg"), 10), u("ОТ~10.JPG"));
    // Three bytes a Chinese character.
    EXPECT_EQ(shortNameWith(u("北京天安门广场.jpg"), 1), u("北京~1.JPG"));
    // Latin-1 letters are kept one byte each, as names always were: six.
    EXPECT_EQ(shortNameWith(u("Été à la plage.jpg"), 1), u("ÉTÉÀLA~1.JPG"));
    // A letter and its separate accent count as the one letter they are.
    EXPECT_EQ(shortNameWith(u("E\u0301te\u0301 a\u0300 la plage.jpg"), 1), u("ÉTÉÀLA~1.JPG"));
}

TEST(ShortName, EveryShortNameFitsASlotWhole)
{
    const QStringList names = {"IMG_20230514_123456.jpg", u("Отпуск 2023.jpg"), u("北京天安门广场.jpeg"),
                               u("😀😀😀😀😀😀😀.jpg"), u("ÀÁÂÃÄÅÆÇÈÉÊË.bmp"), u("фотография.ФОТО"),
                               u("𝔸𝔹ℂ𝔻𝔼𝔽𝔾.𝔸𝔹ℂ"), "x"};
    for (const QString& name : names) {
        for (const int n : {1, 9, 10, 99, 1000, MaxShortNameNumber}) {
            const QString s = shortNameWith(name, n);
            EXPECT_TRUE(fitsSlot(s)) << qPrintable(s);
            EXPECT_TRUE(s.contains(QStringLiteral("~%1").arg(n))) << qPrintable(s);
            ImageEntry e;
            setSlotName(e, s);
            EXPECT_EQ(slotName(e), s);   // not cut
            EXPECT_FALSE(s.contains(QChar::ReplacementCharacter)) << qPrintable(s);
        }
    }
}

TEST(ShortName, ItsNumberIsReadBackOnlyFromItsOwnShortNames)
{
    EXPECT_EQ(shortNameNumber("IMG_20230514_123456.JPG", "IMG_20~1.JPG"), 1);
    EXPECT_EQ(shortNameNumber("IMG_20230514_123456.JPG", "img_20~3.jpg"), 3);
    EXPECT_EQ(shortNameNumber("IMG_20230514_123456.JPG", "IMG_2~10.JPG"), 10);
    EXPECT_EQ(shortNameNumber(u("Отпуск 2023.jpg"), u("отп~2.jpg")), 2);
    EXPECT_EQ(shortNameNumber("IMG_20230514_123456.JPG", "IMG_20~0.JPG"), 0);
    EXPECT_EQ(shortNameNumber("IMG_20230514_123456.JPG", "IMG_20~01.JPG"), 0);
    EXPECT_EQ(shortNameNumber("IMG_20230514_123456.JPG", "IMG_20~1.BMP"), 0);
    EXPECT_EQ(shortNameNumber("IMG_20230514_123456.JPG", "IMG_2~1.JPG"), 0);
    EXPECT_EQ(shortNameNumber("DSC_20230514_123456.JPG", "IMG_20~1.JPG"), 0);
    EXPECT_EQ(shortNameNumber("IMG_20230514_123456.JPG", "IMG_20230514.JPG"), 0);
}

TEST(ShortName, NoneWhenEveryNumberIsTaken)
{
    int asked = 0;
    EXPECT_EQ(shortNameFor("IMG_20230514_123456.JPG", [&asked](const QString&) { return ++asked > 0; }), QString());
    EXPECT_EQ(asked, MaxShortNameNumber);
}
