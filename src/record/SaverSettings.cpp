#include "record/SaverSettings.h"

#include "decode/ByteOrder.h"

#include <algorithm>
#include <cstring>

namespace {
template <class T>
bool clampTo(T& v, T lo, T hi)
{
    const T c = std::clamp(v, lo, hi);
    const bool changed = c != v;
    v = c;
    return changed;
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isUtf8(std::string_view s)
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

bool readsAsUtf8(std::string_view bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; }) && isUtf8(bytes);
}

std::string slotNameText(std::string_view bytes)
{
    if (isUtf8(bytes))
        return std::string(bytes);
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

std::string ImageEntry::NameBytes() const
{
    return std::string(NameChars.data(), std::min<std::size_t>(NameLength, MaxNameLength));
}

void ImageEntry::SetNameBytes(std::string_view bytes)
{
    const std::size_t n = std::min<std::size_t>(bytes.size(), MaxNameLength);
    NameLength = std::uint8_t(n);
    std::memcpy(NameChars.data(), bytes.data(), n);
}

SettingsBytes SaverSettings::Encode() const
{
    SettingsBytes b{};
    putLe32(&b[0], BackgroundColor);
    b[4] = DisplayMode;
    putLe32(&b[5], std::uint32_t(FloatSpeed));
    putLe32(&b[9], std::uint32_t(ChangeEvery));
    putLe32(&b[13], std::uint32_t(DisplaySeconds));
    putLe32(&b[17], std::uint32_t(DisplayTimes));
    putLe32(&b[21], std::uint32_t(ImageCount));
    for (int k = 0; k < MaxImages; ++k) {
        std::uint8_t* e = &b[std::size_t(25 + ImageEntrySize * k)];
        const ImageEntry& s = Images[std::size_t(k)];
        e[0] = s.NameLength;
        std::memcpy(e + 1, s.NameChars.data(), MaxNameLength);
        putLe32(e + 13, std::uint32_t(s.Offset));
        putLe32(e + 17, std::uint32_t(s.Size));
    }
    return b;
}

SaverSettings SaverSettings::Decode(const std::uint8_t* b)
{
    SaverSettings s;
    s.BackgroundColor = le32(b);
    s.DisplayMode = b[4];
    s.FloatSpeed = std::int32_t(le32(b + 5));
    s.ChangeEvery = std::int32_t(le32(b + 9));
    s.DisplaySeconds = std::int32_t(le32(b + 13));
    s.DisplayTimes = std::int32_t(le32(b + 17));
    s.ImageCount = std::int32_t(le32(b + 21));
    for (int k = 0; k < MaxImages; ++k) {
        const std::uint8_t* e = b + 25 + ImageEntrySize * k;
        ImageEntry& d = s.Images[std::size_t(k)];
        d.NameLength = e[0];
        std::memcpy(d.NameChars.data(), e + 1, MaxNameLength);
        d.Offset = std::int32_t(le32(e + 13));
        d.Size = std::int32_t(le32(e + 17));
    }
    return s;
}

bool SaverSettings::Normalize()
{
    bool changed = false;
    if (DisplayMode != std::uint8_t(Mode())) {
        SetMode(Mode());
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

SaverSettings SaverSettings::WithoutEmptySlots() const
{
    SaverSettings closed = *this;
    const int count = std::clamp<int>(ImageCount, 0, MaxImages);
    closed.ImageCount = count;
    int n = 0;
    for (int k = 1; k <= MaxImages; ++k) {
        if (k <= count && Slot(k).IsEmpty())
            --closed.ImageCount;
        else
            closed.Images[std::size_t(n++)] = Slot(k);
    }
    while (n < MaxImages)
        closed.Images[std::size_t(n++)] = ImageEntry();
    return closed;
}

SaverSettings newProjectSettings()
{
    SaverSettings s;
    s.BackgroundColor = 0x00800000;
    s.SetMode(ShowMode::Random);
    s.FloatSpeed = 990;
    s.ChangeEvery = 5;
    s.DisplaySeconds = 3;
    s.DisplayTimes = 2;
    s.ImageCount = 0;
    return s;
}

std::string missingGraphicText(std::string_view name)
{
    return "The graphic " + std::string(name) + " was not found.";
}
