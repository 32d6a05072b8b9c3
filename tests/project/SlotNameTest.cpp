// How a slot keeps a picture's name: Latin-1 names one byte a character, as
// project files have always held them, any other name in UTF-8; at most 12
// bytes, never cut inside a character, and always read back as written.
#include "project/SlotNames.h"

#include <QByteArray>
#include <QStringList>
#include <gtest/gtest.h>

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// The 21 bytes of slot k of an encoded record.
QByteArray slotBytes(const SaverSettings& s, int k)
{
    const SettingsBytes b = s.Encode();
    return QByteArray(reinterpret_cast<const char*>(b.data()) + 25 + 21 * (k - 1), 21);
}

// A slot as it is written out, by hand: length byte, name bytes, zeros.
QByteArray slotOf(const QByteArray& nameBytes)
{
    QByteArray b(21, '\0');
    b[0] = char(nameBytes.size());
    b.replace(1, nameBytes.size(), nameBytes);
    return b;
}

} // namespace

TEST(SlotName, NamesThatFitInLatin1KeepTheBytesTheyAlwaysHad)
{
    SaverSettings s;
    setSlotName(s.Slot(1), "A.BMP");
    setSlotName(s.Slot(2), "ABCDEFGH.JPG");
    setSlotName(s.Slot(3), u("CAFÉ.JPG"));
    setSlotName(s.Slot(4), u("ÜBERSICHT.BM"));
    setSlotName(s.Slot(5), u("STRAßE.JPG"));
    setSlotName(s.Slot(6), u("ÀÉÎÕÜÇÑØÅÆÐÞ.JPG"));   // cut after twelve letters
    setSlotName(s.Slot(7), "ABCDEFGHIJKLMNOP.JPG");
    EXPECT_EQ(slotBytes(s, 1), slotOf("A.BMP"));
    EXPECT_EQ(slotBytes(s, 2), slotOf("ABCDEFGH.JPG"));
    EXPECT_EQ(slotBytes(s, 3), slotOf("CAF\xC9.JPG"));
    EXPECT_EQ(slotBytes(s, 4), slotOf("\xDC" "BERSICHT.BM"));
    EXPECT_EQ(slotBytes(s, 5), slotOf("STRA\xDF" "E.JPG"));
    EXPECT_EQ(slotBytes(s, 6), slotOf("\xC0\xC9\xCE\xD5\xDC\xC7\xD1\xD8\xC5\xC6\xD0\xDE"));
    EXPECT_EQ(slotBytes(s, 7), slotOf("ABCDEFGHIJKL"));

    // And a record written before reads back to the same names.
    const SettingsBytes b = s.Encode();
    const SaverSettings back = SaverSettings::Decode(b);
    EXPECT_EQ(slotName(back.Slot(3)), u("CAFÉ.JPG"));
    EXPECT_EQ(slotName(back.Slot(6)), u("ÀÉÎÕÜÇÑØÅÆÐÞ"));
}

TEST(SlotName, ATwelveByteUtf8NameIsKeptWhole)
{
    ImageEntry e;
    setSlotName(e, u("фото.jpg"));
    EXPECT_EQ(e.NameLength, 12);
    EXPECT_EQ(QByteArray(e.NameChars.data(), 12), QByteArray("\xD1\x84\xD0\xBE\xD1\x82\xD0\xBE.jpg"));
    EXPECT_EQ(slotName(e), u("фото.jpg"));
    setSlotName(e, u("ФОТО.JPG"));
    EXPECT_EQ(slotName(e), u("ФОТО.JPG"));
    EXPECT_TRUE(fitsSlot(u("ФОТО.JPG")));
    EXPECT_FALSE(fitsSlot(u("ФОТО1.JPG")));   // 13 bytes, though nine characters
}

TEST(SlotName, ANameIsNeverCutInsideACharacter)
{
    ImageEntry e;
    // "A" and five Cyrillic letters make 11 bytes; the sixth would end at 13.
    setSlotName(e, u("AФОТОГРАФИЯ.JPG"));
    EXPECT_EQ(e.NameLength, 11);
    EXPECT_EQ(slotName(e), u("AФОТОГ"));
    // A four-byte character that would end at byte 14.
    setSlotName(e, u("ABCDEFGHIJ😀.JPG"));
    EXPECT_EQ(slotName(e), "ABCDEFGHIJ");
    // An accent written as a character of its own stays with its letter.
    setSlotName(e, u("ABCDEFGHIJKE\u0301.JPG"));
    EXPECT_EQ(slotName(e), "ABCDEFGHIJK");
    // Bytes after the name keep what they held; the length says where it ends.
    setSlotName(e, "X");
    EXPECT_EQ(slotName(e), "X");
}

TEST(SlotName, EveryNameReadsBackAsItWasWritten)
{
    const QStringList names = {
        "PHOTO.JPG", u("CAFÉ.JPG"), u("ФОТО.JPG"), u("ОТП~1.JPG"), u("北京~1.JPG"), u("ŸES.JPG"),
        u("Ã©.JPG"),         // its Latin-1 bytes would read as UTF-8 "é": kept in UTF-8
        u("\uFEFF\u0416.BMP"),  // a leading byte-order mark is part of the name
        u("µ.BMP"), u("ΜΑΘ.BMP"),
    };
    for (const QString& name : names) {
        ImageEntry e;
        setSlotName(e, name);
        EXPECT_EQ(slotName(e), name) << qPrintable(name);
        EXPECT_EQ(e.NameLength, slotNameBytes(name).size()) << qPrintable(name);
    }
    EXPECT_EQ(slotNameBytes(u("Ã©.JPG")), QByteArray("\xC3\x83\xC2\xA9.JPG"));
}

TEST(SlotName, BytesOfNoKnownKindReadAsLatin1)
{
    // A lone UTF-8 lead byte, a cut sequence, an encoded surrogate: as
    // project files always read them, one character a byte.
    EXPECT_EQ(slotNameText("\xD0.BMP", 5), u("Ð.BMP"));
    EXPECT_EQ(slotNameText("\xD0\xA4\xD0", 3), u("Ð¤Ð"));
    EXPECT_EQ(slotNameText("\xED\xA0\x80", 3), u("í\u00A0\u0080"));
    EXPECT_EQ(slotNameText("A\0B", 3), QString::fromLatin1("A\0B", 3));
}
