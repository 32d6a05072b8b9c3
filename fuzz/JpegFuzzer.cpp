// The JPEG loader on any bytes, with the decoding budget. TJPEGBitmap's
// full-size load either gives a picture of 32-bit pixels or throws, keeping
// the picture it had; a picture it gives is saved again and must load again
// at the same size. The show's path (upright, halved 0 to 4 times, as the
// input's last byte says) gives the upright size halved, or fails with a
// message.
#include "FuzzSupport.h"

#include "decode/Picture.h"
#include "picture/JPEGBitmap.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInit(argc, argv);
    return 0;
}

namespace {

void ShownPath(const std::uint8_t* data, std::size_t size)
{
    const int halvings = size ? data[size - 1] % 5 : 0;
    MemorySource source(data, size);
    // Small enough that no input takes long; the program's own is 1 GiB.
    DecodeBudget budget;
    budget.maxBytes = 16u << 20;
    try {
        const PictureInfo info = readPictureInfo(source, PictureFormat::Jpeg);
        FUZZ_CHECK(info.orientation >= 1 && info.orientation <= 8);
        const PixelBuffer p = decodePicture(source, PictureFormat::Jpeg, halvings, DecodeControl(nullptr, budget));
        FUZZ_CHECK(p.width() == scaledLength(info.uprightWidth(), halvings));
        FUZZ_CHECK(p.height() == scaledLength(info.uprightHeight(), halvings));
    } catch (const DecodeError& e) {
        FUZZ_CHECK(e.what()[0] != '\0');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ShownPath(data, size);
    static TJPEGBitmap bitmap;   // kept between inputs: a failure must not touch it
    TMemoryStream stream(data, size);
    if (!LoadChecked(bitmap, stream))
        return 0;
    FUZZ_CHECK(stream.Position() <= std::int64_t(size));
    if (std::int64_t(bitmap.Width()) * bitmap.Height() <= 256 * 256) {
        TMemoryStream saved;
        bitmap.SaveToStream(saved);
        saved.Seek(0, SEEK_SET);
        TJPEGBitmap again;
        again.LoadFromStream(saved);
        FUZZ_CHECK(again.Width() == bitmap.Width() && again.Height() == bitmap.Height());
    }
    return 0;
}
