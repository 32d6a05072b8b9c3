// TBitmap::LoadFromStream (Windows bitmaps through our own reader) on any
// bytes: a picture of 32-bit pixels or an error, the previous picture kept.
// A picture it gives is saved again (by Qt's writer) and must load again the
// same.
#include "FuzzSupport.h"

#include "toolkit/Graphics.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInit(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TBitmap bitmap;
    TMemoryStream stream(data, size);
    if (!LoadChecked(bitmap, stream))
        return 0;
    if (std::int64_t(bitmap.Width()) * bitmap.Height() <= 256 * 256) {
        TMemoryStream saved;
        bitmap.SaveToStream(saved);
        saved.Seek(0, SEEK_SET);
        TBitmap again;
        again.LoadFromStream(saved);
        FUZZ_CHECK(again.Image() == bitmap.Image());
    }
    return 0;
}
