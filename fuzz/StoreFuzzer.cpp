// The X11 player's reading of its store on any bytes, both as a bare image
// store and as a whole screensaver file (player followed by store), without
// Qt. A store it accepts must keep every picture inside the bytes it was
// given, and each picture, decoded from it as the show decodes it, either
// fits the screen or is refused.
#include "common/Store.h"
#include "common/StorePictures.h"

#include "PlainCheck.h"

namespace {

void checkStore(const player::StoreView& store, const std::uint8_t* data, std::size_t size)
{
    PLAIN_CHECK(store.data >= data && store.size <= size && std::uint64_t(store.data - data) <= size - store.size);
    const SaverSettings& s = store.settings;
    PLAIN_CHECK(s.ImageCount >= 1 && s.ImageCount <= MaxImages);
    const ShowSettings show = showSettingsOf(s);
    PLAIN_CHECK(show.timer1Interval() >= 1 && show.timer1Interval() <= 1000);
    player::StorePictures pictures(store);
    for (int k = 1; k <= s.ImageCount; ++k) {
        const ImageEntry& e = s.Slot(k);
        PLAIN_CHECK(e.Offset >= SaverSettingsSize && e.Size >= 0);
        PLAIN_CHECK(std::uint64_t(e.Offset) + std::uint64_t(e.Size) <= store.size);
        PLAIN_CHECK(pictures.exists(k));
        // Smaller budgets than the show's keep each input quick.
        DecodeBudget budget;
        budget.maxBytes = std::uint64_t(64) << 20;
        budget.maxScanBlocks = std::uint64_t(1) << 20;
        try {
            const std::unique_ptr<ByteSource> source = pictures.open(k);
            const FittedPicture f = decodeToFit(*source, pictures.format(k), 800, 600, FitRule::LargerThan, DecodeControl(nullptr, budget));
            PLAIN_CHECK(f.shownWidth() <= 800 && f.shownHeight() <= 600);
            PLAIN_CHECK(f.pixels.width() >= f.shownWidth() && f.pixels.width() <= f.shownWidth() + 1);
            PLAIN_CHECK(f.pixels.height() >= f.shownHeight() && f.pixels.height() <= f.shownHeight() + 1);
        } catch (const DecodeError&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        checkStore(player::readImageStore(data, size), data, size);
    } catch (const player::StoreError&) {
    }
    try {
        checkStore(player::readAttachedStore(data, size), data, size);
    } catch (const player::StoreError&) {
    }
    return 0;
}
