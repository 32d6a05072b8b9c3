#include "project/SaverSettings.h"

#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {
void put32(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}

std::uint32_t get32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

template <class T>
bool clampTo(T& v, T lo, T hi)
{
    const T c = std::clamp(v, lo, hi);
    const bool changed = c != v;
    v = c;
    return changed;
}

bool isLatin1(const QString& s)
{
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

// The text of bytes that hold something above 127 and are valid UTF-8 as a
// whole (a leading byte-order mark included); nothing otherwise.
std::optional<QString> asUtf8(const QByteArray& b)
{
    if (std::none_of(b.begin(), b.end(), [](char c) { return (c & 0x80) != 0; }))
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8(b);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}
} // namespace

QByteArray SlotNameBytes(const QString& name)
{
    if (isLatin1(name)) {
        QByteArray latin1 = name.toLatin1();
        if (!asUtf8(latin1))
            return latin1;
    }
    return name.toUtf8();
}

QString SlotNameText(const char* bytes, int length)
{
    const QByteArray b(bytes, length);
    return asUtf8(b).value_or(QString::fromLatin1(b));
}

QString FitSlotName(const QString& name)
{
    if (FitsSlot(name))
        return name;
    // A name is never shorter in bytes than in UTF-16 units, so no fitting
    // beginning is longer than 12 units.
    QString best;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, name);
    for (qsizetype end = characters.toNextBoundary(); end > 0 && end <= MaxNameLength; end = characters.toNextBoundary()) {
        const QString head = name.left(end);
        if (FitsSlot(head))
            best = head;
    }
    return best;
}

QString ImageEntry::Name() const
{
    const int n = std::min<int>(NameLength, MaxNameLength);
    return SlotNameText(NameChars.data(), n);
}

void ImageEntry::SetName(const QString& name)
{
    const QByteArray bytes = SlotNameBytes(FitSlotName(name));
    NameLength = std::uint8_t(bytes.size());
    std::memcpy(NameChars.data(), bytes.constData(), std::size_t(bytes.size()));
}

SettingsBytes SaverSettings::Encode() const
{
    SettingsBytes b{};
    put32(&b[0], BackgroundColor);
    b[4] = DisplayMode;
    put32(&b[5], std::uint32_t(FloatSpeed));
    put32(&b[9], std::uint32_t(ChangeEvery));
    put32(&b[13], std::uint32_t(DisplaySeconds));
    put32(&b[17], std::uint32_t(DisplayTimes));
    put32(&b[21], std::uint32_t(ImageCount));
    for (int k = 0; k < MaxImages; ++k) {
        std::uint8_t* e = &b[std::size_t(25 + ImageEntrySize * k)];
        const ImageEntry& s = Images[std::size_t(k)];
        e[0] = s.NameLength;
        std::memcpy(e + 1, s.NameChars.data(), MaxNameLength);
        put32(e + 13, std::uint32_t(s.Offset));
        put32(e + 17, std::uint32_t(s.Size));
    }
    return b;
}

SaverSettings SaverSettings::Decode(const std::uint8_t* b)
{
    SaverSettings s;
    s.BackgroundColor = get32(b);
    s.DisplayMode = b[4];
    s.FloatSpeed = std::int32_t(get32(b + 5));
    s.ChangeEvery = std::int32_t(get32(b + 9));
    s.DisplaySeconds = std::int32_t(get32(b + 13));
    s.DisplayTimes = std::int32_t(get32(b + 17));
    s.ImageCount = std::int32_t(get32(b + 21));
    for (int k = 0; k < MaxImages; ++k) {
        const std::uint8_t* e = b + 25 + ImageEntrySize * k;
        ImageEntry& d = s.Images[std::size_t(k)];
        d.NameLength = e[0];
        std::memcpy(d.NameChars.data(), e + 1, MaxNameLength);
        d.Offset = std::int32_t(get32(e + 13));
        d.Size = std::int32_t(get32(e + 17));
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

SaverSettings NewProjectSettings()
{
    SaverSettings s;
    s.BackgroundColor = 0x00800000;
    s.DisplayMode = 0;
    s.FloatSpeed = 990;
    s.ChangeEvery = 5;
    s.DisplaySeconds = 3;
    s.DisplayTimes = 2;
    s.ImageCount = 0;
    return s;
}
