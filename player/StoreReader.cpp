#include "StoreReader.h"

#include "toolkit/Files.h"
#include "toolkit/Graphics.h"

#include <algorithm>
#include <cstring>

namespace {
std::uint64_t get(const std::uint8_t* p, int bytes, bool little)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint64_t(p[little ? i : bytes - 1 - i]) << (8 * i);
    return v;
}

// The end of an ELF file as the linker wrote it: the furthest of its program
// headers' file data, its sections' data and its section header table.
std::optional<std::uint64_t> elfImageSize(const std::uint8_t* d, std::uint64_t size)
{
    if (size < 52 || std::memcmp(d, "\x7f" "ELF", 4) != 0)
        return std::nullopt;
    const bool is64 = d[4] == 2;
    const bool little = d[5] == 1;
    if ((d[4] != 1 && d[4] != 2) || (d[5] != 1 && d[5] != 2) || (is64 && size < 64))
        return std::nullopt;
    auto field = [&](std::uint64_t off, int bytes) -> std::optional<std::uint64_t> {
        if (off > size || bytes > 8 || size - off < std::uint64_t(bytes))
            return std::nullopt;
        return get(d + off, bytes, little);
    };
    const int word = is64 ? 8 : 4;
    const auto phoff = field(is64 ? 32 : 28, word);
    const auto shoff = field(is64 ? 40 : 32, word);
    const auto phentsize = field(is64 ? 54 : 42, 2);
    const auto phnum = field(is64 ? 56 : 44, 2);
    const auto shentsize = field(is64 ? 58 : 46, 2);
    const auto shnum = field(is64 ? 60 : 48, 2);
    if (!phoff || !shoff || !phentsize || !phnum || !shentsize || !shnum)
        return std::nullopt;
    std::uint64_t end = is64 ? 64 : 52;
    auto extend = [&](std::uint64_t off, std::uint64_t len) -> bool {
        if (off > size || len > size - off)
            return false;
        end = std::max(end, off + len);
        return true;
    };
    if (*phnum && !extend(*phoff, *phentsize * *phnum))
        return std::nullopt;
    for (std::uint64_t i = 0; i < *phnum; ++i) {
        const std::uint64_t h = *phoff + i * *phentsize;
        const auto off = field(h + (is64 ? 8 : 4), word);
        const auto filesz = field(h + (is64 ? 32 : 16), word);
        if (!off || !filesz || !extend(*off, *filesz))
            return std::nullopt;
    }
    if (*shnum && !extend(*shoff, *shentsize * *shnum))
        return std::nullopt;
    for (std::uint64_t i = 0; i < *shnum; ++i) {
        const std::uint64_t h = *shoff + i * *shentsize;
        const auto type = field(h + 4, 4);
        const auto off = field(h + (is64 ? 24 : 16), word);
        const auto sz = field(h + (is64 ? 32 : 20), word);
        if (!type || !off || !sz)
            return std::nullopt;
        if (*type != 8 /* SHT_NOBITS: no bytes in the file */ && !extend(*off, *sz))
            return std::nullopt;
    }
    return end;
}

[[noreturn]] void damaged(const QString& why)
{
    throw EGlimmerError(QStringLiteral("This screensaver file is damaged: %1").arg(why));
}
} // namespace

std::optional<std::uint64_t> ExecutableImageSize(const std::uint8_t* data, std::uint64_t size)
{
    return elfImageSize(data, size);
}

TImageStore ReadImageStore(const std::uint8_t* store, std::uint64_t size)
{
    if (size == 0)
        throw EGlimmerError(QStringLiteral("This program holds no screensaver. Compile one with Glimmer: it writes the player followed by your pictures into NAME.SCR"));
    if (size < std::uint64_t(SaverSettingsSize))
        damaged(QStringLiteral("its settings are cut short (%1 of %2 bytes)").arg(size).arg(SaverSettingsSize));
    TImageStore s;
    s.Data = store;
    s.Size = size;
    s.Settings = SaverSettings::Decode(store);
    const int count = s.Settings.ImageCount;
    if (count < 1 || count > MaxImages)
        damaged(QStringLiteral("it names %1 pictures, not 1 to %2").arg(count).arg(MaxImages));
    for (int k = 1; k <= count; ++k) {
        const ImageEntry& e = s.Settings.Slot(k);
        if (e.NameLength == 0 || e.NameLength > MaxNameLength)
            damaged(QStringLiteral("picture %1 has no proper name").arg(k));
        const std::int64_t off = e.Offset, len = e.Size;
        if (off < SaverSettingsSize || len < 0 || std::uint64_t(off) > size || std::uint64_t(len) > size - std::uint64_t(off))
            damaged(QStringLiteral("picture %1 (%2) lies outside the file").arg(k).arg(e.Name()));
    }
    // Timings out of range would make the show race or stand still.
    s.Settings.Normalize();
    return s;
}

TImageStore ReadAttachedStore(const std::uint8_t* file, std::uint64_t size)
{
    const auto image = ExecutableImageSize(file, size);
    if (!image)
        throw EGlimmerError(QStringLiteral("This screensaver file is damaged: its program part cannot be read"));
    return ReadImageStore(file + *image, size - *image);
}

QString DescribeStore(const TImageStore& store, const QString& name)
{
    const SaverSettings& s = store.Settings;
    QStringList pictures;
    for (int k = 1; k <= s.ImageCount; ++k)
        pictures << s.Slot(k).Name();
    // One arg() for all three: a name holding "%2" must come out as it is.
    QString text = QStringLiteral("Screensaver: %1\nPictures: %2 (%3)\nMode: ")
                       .arg(name, QString::number(s.ImageCount), pictures.join(QStringLiteral(", ")));
    if (s.IsFloat())
        text += QStringLiteral("Float, a new picture every %1 seconds").arg(s.ChangeEvery);
    else
        text += QStringLiteral("Random, each picture %1 times for %2 seconds").arg(s.DisplayTimes).arg(s.DisplaySeconds);
    text += QStringLiteral("\n\nMade with Glimmer. Run it without options to show it full screen; "
                           "--window shows it in a window, --root on the desktop or in XScreenSaver.");
    return text;
}

const ImageEntry* TStorePictureSource::find(const QString& name) const
{
    for (int k = 1; k <= store_.Settings.ImageCount; ++k)
        if (store_.Settings.Slot(k).Name() == name)
            return &store_.Settings.Slot(k);
    return nullptr;
}

bool TStorePictureSource::Exists(const QString& name) { return !name.isEmpty() && find(name) != nullptr; }

std::unique_ptr<TStream> TStorePictureSource::Open(const QString& name)
{
    const ImageEntry* e = find(name);
    if (!e)
        throw EInOutError(2);
    return std::make_unique<TMemoryStream>(store_.Data + e->Offset, std::size_t(e->Size));
}
