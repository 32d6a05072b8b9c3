// The player's store reader on any bytes, both as a bare image store and as a
// whole screensaver file (player followed by store). A store it accepts must
// keep every picture inside the bytes it was given, and loading each picture
// from it as the show does either gives one that fits the screen or throws.
#include "FuzzSupport.h"

#include "StoreReader.h"
#include "picture/JPEGBitmap.h"
#include "picture/ShownPicture.h"
#include "toolkit/Graphics.h"

namespace {

void CheckStore(const TImageStore& store, const std::uint8_t* data, std::size_t size)
{
    FUZZ_CHECK(store.Data >= data && store.Size <= size && std::uint64_t(store.Data - data) <= size - store.Size);
    const SaverSettings& s = store.Settings;
    FUZZ_CHECK(s.ImageCount >= 1 && s.ImageCount <= MaxImages);
    FUZZ_CHECK(s.FloatSpeed >= MinFloatSpeed && s.FloatSpeed <= MaxFloatSpeed);
    TStorePictureSource source(store);
    for (int k = 1; k <= s.ImageCount; ++k) {
        const ImageEntry& e = s.Slot(k);
        FUZZ_CHECK(e.Offset >= SaverSettingsSize && e.Size >= 0);
        FUZZ_CHECK(std::uint64_t(e.Offset) + std::uint64_t(e.Size) <= store.Size);
        const QString name = e.Name();
        FUZZ_CHECK(source.Exists(name));
        // As the show loads it: by extension, made ready for its screen.
        try {
            const TShownPicture shown = LoadShownPicture(*source.Open(name), IsJpegName(name), QSize(800, 600),
                                                         FitRule::LargerThan);
            FUZZ_CHECK(!shown.Image.isNull() && shown.Size.width() <= 800 && shown.Size.height() <= 600);
        } catch (const EGlimmerError&) {
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInit(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    try {
        CheckStore(ReadImageStore(data, size), data, size);
    } catch (const EGlimmerError&) {
    }
    try {
        CheckStore(ReadAttachedStore(data, size), data, size);
    } catch (const EGlimmerError&) {
    }
    return 0;
}
