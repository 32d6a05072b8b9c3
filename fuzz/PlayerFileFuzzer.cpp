// The players' shared reader on any bytes, with no Qt: as a whole screensaver
// file (executable headers, ELF or PE, then the store) and as a bare store.
// Whatever it accepts must lie inside the bytes it was given.
#include "common/ExecutableImage.h"
#include "common/Store.h"

#include "PlainCheck.h"

namespace {
void checkStore(const player::StoreView& s, const std::uint8_t* data, std::size_t size)
{
    PLAIN_CHECK(s.Data >= data && s.Size <= size && std::uint64_t(s.Data - data) <= size - s.Size);
    PLAIN_CHECK(s.Settings.ImageCount >= 1 && s.Settings.ImageCount <= player::MaxImages);
    PLAIN_CHECK(s.Settings.FloatSpeed >= player::MinFloatSpeed && s.Settings.FloatSpeed <= player::MaxFloatSpeed);
    for (int k = 1; k <= s.Settings.ImageCount; ++k) {
        PLAIN_CHECK(s.PictureData(k) >= s.Data + player::SaverSettingsSize);
        PLAIN_CHECK(std::uint64_t(s.PictureData(k) - s.Data) + s.PictureSize(k) <= s.Size);
        PLAIN_CHECK(!s.Settings.Slot(k).Name().empty());
    }
    const std::string text = player::describeStore(s, "FUZZ");
    for (const char c : text)
        PLAIN_CHECK(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const player::ImageSize image = player::executableImageSize(data, size);
    PLAIN_CHECK(image.Ok() ? image.End <= size : image.End == 0);
    try {
        checkStore(player::readAttachedStore(data, size), data, size);
    } catch (const player::StoreError&) {
    }
    try {
        checkStore(player::readImageStore(data, size), data, size);
    } catch (const player::StoreError&) {
    }
    return 0;
}
