// The EXIF orientation reader on any bytes, as the payload of an APP1
// segment and behind a valid "Exif" header: always an orientation of 1 to
// 8, never a read outside the bytes (AddressSanitizer watches).
#include "decode/Exif.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const int plain = exifOrientation(data, size);
    std::vector<std::uint8_t> tagged(size + 6);
    std::memcpy(tagged.data(), "Exif\0\0", 6);
    if (size)
        std::memcpy(tagged.data() + 6, data, size);
    // An exact copy of the bytes, so that a read past them is caught.
    std::vector<std::uint8_t> exact(tagged);
    const int behindHeader = exifOrientation(exact.data(), exact.size());
    if (plain < 1 || plain > 8 || behindHeader < 1 || behindHeader > 8) {
        std::fprintf(stderr, "orientation out of range: %d %d\n", plain, behindHeader);
        std::abort();
    }
    return 0;
}
