#pragma once
// The 235-byte settings record of a screensaver project. It is the project
// file, the head of the image store and what the player reads, so it is
// encoded and decoded field by field, little-endian, never by casting.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

constexpr int SaverSettingsSize = 235;
constexpr int ImageEntrySize = 21;
constexpr int MaxImages = 10;
constexpr int MaxNameLength = 12;

// Ranges of the values the program writes.
constexpr int MinFloatSpeed = 899, MaxFloatSpeed = 999;
constexpr int MinChangeEvery = 2, MaxChangeEvery = 60;
constexpr int MinDisplaySeconds = 1, MaxDisplaySeconds = 60;
constexpr int MinDisplayTimes = 1, MaxDisplayTimes = 15;

struct ImageEntry {
    std::uint8_t NameLength = 0;
    std::array<char, MaxNameLength> NameChars{};
    std::int32_t Offset = 0;
    std::int32_t Size = 0;

    bool IsEmpty() const { return NameLength == 0; }
    // The name, never more than 12 bytes whatever the length byte says.
    QString Name() const;
    // Keeps the longest beginning of `name` that fits (FitSlotName); bytes
    // after it keep what they held.
    void SetName(const QString& name);
    bool operator==(const ImageEntry&) const = default;
};

// How a slot keeps a picture's name: one byte a character, as names have
// always been kept, when every character is Latin-1; otherwise the name's
// UTF-8 bytes, as the file system holds them. A Latin-1 name whose bytes
// would read as UTF-8 is kept in UTF-8 too, so that every name reads back
// as it was written.
QByteArray SlotNameBytes(const QString& name);
QString SlotNameText(const char* bytes, int length);
inline bool FitsSlot(const QString& name) { return SlotNameBytes(name).size() <= MaxNameLength; }
// The longest beginning of `name` whose bytes fit a slot, never ending inside
// a character.
QString FitSlotName(const QString& name);

using SettingsBytes = std::array<std::uint8_t, SaverSettingsSize>;

struct SaverSettings {
    std::uint32_t BackgroundColor = 0;   // 0x00BBGGRR
    std::uint8_t DisplayMode = 0;        // 0 Random, anything else Float
    std::int32_t FloatSpeed = 0;
    std::int32_t ChangeEvery = 0;
    std::int32_t DisplaySeconds = 0;
    std::int32_t DisplayTimes = 0;
    std::int32_t ImageCount = 0;
    std::array<ImageEntry, MaxImages> Images{};

    // Slot k, numbered 1 to 10.
    ImageEntry& Slot(int k) { return Images.at(std::size_t(k - 1)); }
    const ImageEntry& Slot(int k) const { return Images.at(std::size_t(k - 1)); }
    bool IsFloat() const { return DisplayMode != 0; }

    SettingsBytes Encode() const;
    static SaverSettings Decode(const std::uint8_t* bytes);   // exactly 235 bytes
    static SaverSettings Decode(const SettingsBytes& bytes) { return Decode(bytes.data()); }

    // Brings every value of a damaged record into the range the program writes:
    // a count outside 0..10 and timings to the nearest bound, a mode above 1 to
    // Float, a name length above 12 to 12. Returns true when anything changed.
    bool Normalize();

    // The record as the show and the compile take it: an empty slot among 1
    // to ImageCount (a Remove in an editor closed with its close box) is left
    // out, as the editor's OK leaves it out: the slots after it close up in
    // their order and ImageCount counts what is left.
    SaverSettings WithoutEmptySlots() const;

    bool operator==(const SaverSettings&) const = default;
};

SaverSettings NewProjectSettings();   // the values of a new project
