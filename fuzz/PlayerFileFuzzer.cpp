// The players' shared reader on any bytes, with no Qt: as a whole screensaver
// file (executable headers, ELF or PE, then the store) and as a bare store.
// Whatever it accepts must lie inside the bytes it was given.
#include "common/ExecutableImage.h"
#include "common/Store.h"

#include "PlainCheck.h"

namespace {
void checkStore(const player::StoreView& s, const std::uint8_t* data, std::size_t size)
{
    PLAIN_CHECK(s.data >= data && s.size <= size && std::uint64_t(s.data - data) <= size - s.size);
    PLAIN_CHECK(s.settings.ImageCount >= 1 && s.settings.ImageCount <= MaxImages);
    PLAIN_CHECK(s.settings.FloatSpeed >= MinFloatSpeed && s.settings.FloatSpeed <= MaxFloatSpeed);
    for (int k = 1; k <= s.settings.ImageCount; ++k) {
        PLAIN_CHECK(s.pictureData(k) >= s.data + SaverSettingsSize);
        PLAIN_CHECK(std::uint64_t(s.pictureData(k) - s.data) + s.pictureSize(k) <= s.size);
        PLAIN_CHECK(!s.settings.Slot(k).Name().empty());
    }
    const std::string text = player::describeStore(s, "FUZZ");
    for (const char c : text)
        PLAIN_CHECK(c == '\n' || static_cast<unsigned char>(c) >= 0x20);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const player::ImageSize image = player::executableImageSize(data, size);
    PLAIN_CHECK(image.ok() ? image.end <= size : image.end == 0);
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
