#include "common/Settings.h"

#include "common/LittleEndian.h"

#include <algorithm>

namespace player {
namespace {
template <class T>
bool clampTo(T& v, T lo, T hi)
{
    const T c = std::clamp(v, lo, hi);
    const bool changed = c != v;
    v = c;
    return changed;
}

// Whether `s` is well-formed UTF-8 (no overlong forms, no surrogates, nothing
// above U+10FFFF), as the program's own decoder judges slot names.
bool isUtf8(const std::string& s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        int extra;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1, cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2, cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3, cp = c & 0x07;
        } else {
            return false;
        }
        if (s.size() - i <= std::size_t(extra))
            return false;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char d = static_cast<unsigned char>(s[i + std::size_t(k)]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += std::size_t(extra) + 1;
    }
    return true;
}
} // namespace

std::string ImageEntry::Name() const
{
    return std::string(NameChars.data(), std::min<std::size_t>(NameLength, MaxNameLength));
}

SaverSettings SaverSettings::Decode(const std::uint8_t* b)
{
    SaverSettings s;
    s.BackgroundColor = readLittle32(b);
    s.DisplayMode = b[4];
    s.FloatSpeed = std::int32_t(readLittle32(b + 5));
    s.ChangeEvery = std::int32_t(readLittle32(b + 9));
    s.DisplaySeconds = std::int32_t(readLittle32(b + 13));
    s.DisplayTimes = std::int32_t(readLittle32(b + 17));
    s.ImageCount = std::int32_t(readLittle32(b + 21));
    for (int k = 0; k < MaxImages; ++k) {
        const std::uint8_t* e = b + 25 + ImageEntrySize * k;
        ImageEntry& d = s.Images[std::size_t(k)];
        d.NameLength = e[0];
        std::copy(e + 1, e + 1 + MaxNameLength, d.NameChars.begin());
        d.Offset = std::int32_t(readLittle32(e + 13));
        d.Size = std::int32_t(readLittle32(e + 17));
    }
    return s;
}

bool SaverSettings::Normalize()
{
    bool changed = false;
    if (DisplayMode > 1) {
        DisplayMode = 1;
        changed = true;
    }
    changed |= clampTo(FloatSpeed, MinFloatSpeed, MaxFloatSpeed);
    changed |= clampTo(ChangeEvery, MinChangeEvery, MaxChangeEvery);
    changed |= clampTo(DisplaySeconds, MinDisplaySeconds, MaxDisplaySeconds);
    changed |= clampTo(DisplayTimes, MinDisplayTimes, MaxDisplayTimes);
    changed |= clampTo(ImageCount, 0, MaxImages);
    for (ImageEntry& e : Images)
        changed |= clampTo<std::uint8_t>(e.NameLength, 0, MaxNameLength);
    return changed;
}

std::string SlotNameText(const std::string& bytes)
{
    if (isUtf8(bytes))
        return bytes;
    std::string text;
    for (const char ch : bytes) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            text += ch;
        } else {
            text += char(0xC0 | (c >> 6));
            text += char(0x80 | (c & 0x3F));
        }
    }
    return text;
}

} // namespace player
