#include "common/Store.h"

#include "common/ExecutableImage.h"
#include "text/PrintableText.h"

namespace player {
namespace {
[[noreturn]] void damaged(const std::string& why)
{
    throw StoreError("This screensaver file is damaged: " + why);
}

std::string plural(std::int64_t n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}
} // namespace

StoreView readImageStore(const std::uint8_t* store, std::uint64_t size)
{
    if (size == 0)
        throw StoreError("This program holds no screensaver. Compile one with Glimmer: it writes the player followed by your pictures into NAME.SCR");
    if (size < std::uint64_t(SaverSettingsSize))
        damaged("its settings are cut short (" + std::to_string(size) + " of " + std::to_string(SaverSettingsSize) + " bytes)");
    StoreView s;
    s.data = store;
    s.size = size;
    s.settings = SaverSettings::Decode(store);
    const std::int32_t count = s.settings.ImageCount;
    if (count < 1 || count > MaxImages)
        damaged("it names " + std::to_string(count) + " pictures, not 1 to " + std::to_string(MaxImages));
    for (int k = 1; k <= count; ++k) {
        const ImageEntry& e = s.settings.Slot(k);
        if (e.NameLength == 0 || e.NameLength > MaxNameLength)
            damaged("picture " + std::to_string(k) + " has no proper name");
        const std::int64_t off = e.Offset, len = e.Size;
        if (off < SaverSettingsSize || len < 0 || std::uint64_t(off) > size || std::uint64_t(len) > size - std::uint64_t(off))
            damaged("picture " + std::to_string(k) + " (" + printableName(e.Name()) + ") lies outside the file");
    }
    // Timings out of range would make the show race or stand still.
    s.settings.Normalize();
    return s;
}

StoreView readAttachedStore(const std::uint8_t* file, std::uint64_t size)
{
    const ImageSize image = executableImageSize(file, size);
    if (!image.ok())
        throw StoreError("This screensaver file is damaged: its program part cannot be read (" + image.problem + ")");
    return readImageStore(file + image.end, size - image.end);
}

std::string printableName(const std::string& bytes) { return printableText(slotNameText(bytes)); }

std::string describeContents(const StoreView& store, std::string_view name)
{
    const SaverSettings& s = store.settings;
    std::string pictures;
    for (int k = 1; k <= s.ImageCount; ++k)
        pictures += (k > 1 ? ", " : "") + printableName(s.Slot(k).Name());
    std::string text = "Screensaver: " + printableName(std::string(name)) + "\nPictures: " + std::to_string(s.ImageCount) + " (" + pictures + ")\nMode: ";
    switch (s.Mode()) {
    case ShowMode::Random:
        text += "Random, each picture " + plural(s.DisplayTimes, "time", "times") + " for " + plural(s.DisplaySeconds, "second", "seconds");
        break;
    case ShowMode::Float:
        text += "Float, a new picture every " + plural(s.ChangeEvery, "second", "seconds") + ", a step every " +
                std::to_string(1000 - s.FloatSpeed) + " ms";
        break;
    }
    return text;
}

std::string describeStore(const StoreView& store, std::string_view name)
{
    std::string text = describeContents(store, name);
    text += "\n\nMade with Glimmer. Run it without options to show it full screen; "
            "--window shows it in a window, --root on the desktop or in XScreenSaver.";
    return text;
}

} // namespace player
