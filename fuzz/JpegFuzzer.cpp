// TJPEGBitmap::LoadFromStream on any bytes: it either gives a picture of
// 32-bit pixels or throws, keeping the picture it had. A picture it gives is
// saved again and must load again at the same size.
#include "FuzzSupport.h"

#include "picture/JPEGBitmap.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInit(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
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
