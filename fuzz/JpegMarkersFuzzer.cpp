// The JPEG marker reader on any bytes, to the first scan and to the end:
// a size and an orientation in range, or a refusal with a text; never a read
// outside the bytes (AddressSanitizer watches) and never a loop without end.
#include "decode/DecodeError.h"
#include "decode/JpegMarkers.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // An exact copy of the bytes, so that a read past them is caught.
    const std::vector<std::uint8_t> exact(data, data + size);
    for (const JpegExtent extent : {JpegExtent::Header, JpegExtent::WholeFile}) {
        MemorySource source(exact.data(), exact.size());
        try {
            const JpegLayout l = readJpegLayout(source, extent);
            if (l.width < 1 || l.height < 1 || l.components < 1 || l.orientation < 1 || l.orientation > 8 || l.scans < 1) {
                std::fprintf(stderr, "accepted a layout out of range: %d x %d, %d components, orientation %d, %d scans\n",
                             l.width, l.height, l.components, l.orientation, l.scans);
                std::abort();
            }
        } catch (const DecodeError& e) {
            if (!*e.what())
                std::abort();
        }
    }
    return 0;
}
