#pragma once
// The 235-byte settings record at the head of a screensaver's image store,
// read field by field without Qt, for every player. Names stay the bytes the
// record holds; Text() turns them into UTF-8 for people to read.
#include <array>
#include <cstdint>
#include <string>

namespace player {

inline constexpr int SaverSettingsSize = 235;
inline constexpr int ImageEntrySize = 21;
inline constexpr int MaxImages = 10;
inline constexpr int MaxNameLength = 12;

inline constexpr int MinFloatSpeed = 899, MaxFloatSpeed = 999;
inline constexpr int MinChangeEvery = 2, MaxChangeEvery = 60;
inline constexpr int MinDisplaySeconds = 1, MaxDisplaySeconds = 60;
inline constexpr int MinDisplayTimes = 1, MaxDisplayTimes = 15;

struct ImageEntry {
    std::uint8_t NameLength = 0;
    std::array<char, MaxNameLength> NameChars{};
    std::int32_t Offset = 0;
    std::int32_t Size = 0;

    // The name's bytes, never more than 12 whatever the length byte says.
    std::string Name() const;
};

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
    const ImageEntry& Slot(int k) const { return Images.at(std::size_t(k - 1)); }
    bool IsFloat() const { return DisplayMode != 0; }

    // Exactly SaverSettingsSize bytes, little-endian.
    static SaverSettings Decode(const std::uint8_t* bytes);

    // Brings a damaged record into the ranges the program writes, by the same
    // rules as the program's own project files: a count outside 0..10 and the
    // timings to the nearest bound, a mode above 1 to Float, a name length
    // above 12 to 12. Returns true when anything changed.
    bool Normalize();
};

// A slot name as text: its bytes when they are UTF-8 (as names outside
// Latin-1 are kept), else each byte as a Latin-1 character; in UTF-8.
std::string SlotNameText(const std::string& bytes);

} // namespace player
