#pragma once
// The 235-byte settings record of a screensaver: the project file, the head
// of the image store and what every player reads. Encoded and decoded here
// once, field by field, little-endian, never by casting; plain C++, so that
// the program and the players (which have no Qt) share it. Names are held as
// the record holds them, bytes; Name() reads them as UTF-8 text.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr int SaverSettingsSize = 235;
inline constexpr int ImageEntrySize = 21;
inline constexpr int MaxImages = 10;
inline constexpr int MaxNameLength = 12;

// Ranges of the values the program writes.
inline constexpr int MinFloatSpeed = 899, MaxFloatSpeed = 999;
inline constexpr int MinChangeEvery = 2, MaxChangeEvery = 60;
inline constexpr int MinDisplaySeconds = 1, MaxDisplaySeconds = 60;
inline constexpr int MinDisplayTimes = 1, MaxDisplayTimes = 15;

// Slot names are bytes. A name whose characters are all Latin-1 is kept one
// byte a character, as names have always been kept; any other name in UTF-8,
// as the file system holds it; and a Latin-1 name whose bytes would read as
// UTF-8 in UTF-8 too, so that every name reads back as it was written.
//
// True when `bytes` hold something above 127 and are UTF-8 as a whole (a
// leading byte-order mark included): such slot bytes are read as UTF-8.
bool readsAsUtf8(std::string_view bytes);
// Slot bytes as UTF-8 text: the bytes themselves when they read as UTF-8,
// else each byte as a Latin-1 character.
std::string slotNameText(std::string_view bytes);

struct ImageEntry {
    std::uint8_t NameLength = 0;
    std::array<char, MaxNameLength> NameChars{};
    std::int32_t Offset = 0;
    std::int32_t Size = 0;

    bool IsEmpty() const { return NameLength == 0; }
    // The name's bytes, never more than 12 whatever the length byte says.
    std::string NameBytes() const;
    // The name as UTF-8 text (slotNameText).
    std::string Name() const { return slotNameText(NameBytes()); }
    // Takes a name's bytes (more than 12 are cut); the bytes after them keep
    // what they held.
    void SetNameBytes(std::string_view bytes);
    bool operator==(const ImageEntry&) const = default;
};

using SettingsBytes = std::array<std::uint8_t, SaverSettingsSize>;

// How the show moves its pictures. The record keeps it in one byte,
// `DisplayMode`, whose values are these.
enum class ShowMode : std::uint8_t {
    Random = 0,   // each picture at a few random places in turn
    Float = 1,    // one picture drifting and bouncing off the edges
};

// The mode a record's byte stands for. 0 is Random and any other value is
// Float, as the program has always read it: a byte it never wrote (a damaged
// file) shows as Float rather than not at all. A new mode takes the next
// value and its own case here; the values above it stay Float.
constexpr ShowMode showModeOf(std::uint8_t displayMode) { return displayMode == 0 ? ShowMode::Random : ShowMode::Float; }

struct SaverSettings {
    std::uint32_t BackgroundColor = 0;   // 0x00BBGGRR
    std::uint8_t DisplayMode = 0;        // the show mode's byte: read it with Mode()
    std::int32_t FloatSpeed = 0;
    std::int32_t ChangeEvery = 0;
    std::int32_t DisplaySeconds = 0;
    std::int32_t DisplayTimes = 0;
    std::int32_t ImageCount = 0;
    std::array<ImageEntry, MaxImages> Images{};

    // Slot k, numbered 1 to 10.
    ImageEntry& Slot(int k) { return Images.at(std::size_t(k - 1)); }
    const ImageEntry& Slot(int k) const { return Images.at(std::size_t(k - 1)); }
    ShowMode Mode() const { return showModeOf(DisplayMode); }
    void SetMode(ShowMode mode) { DisplayMode = std::uint8_t(mode); }

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

SaverSettings newProjectSettings();   // the values of a new project

// "The graphic NAME was not found.": what the show, the view, the slot
// editor, the compile and the players say of a picture that is not there.
std::string missingGraphicText(std::string_view name);
