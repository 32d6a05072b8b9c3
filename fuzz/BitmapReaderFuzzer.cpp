// Our bitmap reader on any bytes, without Qt (it links decode/ and nothing
// else of ours): it refuses with its message or gives a picture of the size
// its header states, at full size and halved; the header alone refuses
// whatever the decode refuses for its header.
#include "decode/Bitmap.h"
#include "decode/DecodeError.h"
#include "decode/Transform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "expectation failed: %s\n", what);
        std::abort();
    }
}

// A budget that lets every small picture through and keeps each input quick:
// a header may claim 1 GiB of pixels over a few bytes of run lengths, and
// sizes change nothing in the paths that matter.
DecodeControl Control()
{
    DecodeBudget budget;
    budget.maxBytes = 4u << 20;
    return DecodeControl(nullptr, budget);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MemorySource source(data, size);
    BitmapHeader header;
    try {
        header = readBitmapHeader(source);
    } catch (const DecodeError& e) {
        check(std::strcmp(e.what(), invalidBitmapText) == 0, "the one refusal text");
        try {
            decodeBitmap(source, 0, Control());
            check(false, "a bitmap whose header is refused decodes");
        } catch (const DecodeError&) {
        }
        return 0;
    }
    check(header.width > 0 && header.height > 0, "a positive size");
    for (int k : {0, 1, 4}) {
        if (k > 0 && std::uint64_t(header.width) * std::uint64_t(header.height) > (std::uint64_t(1) << 18))
            break;
        try {
            const PixelBuffer p = decodeBitmap(source, k, Control());
            check(p.width() == scaledLength(header.width, k) && p.height() == scaledLength(header.height, k),
                  "the size the header states, halved");
            for (int y = 0; y < p.height(); y += 7)
                for (int x = 0; x < p.width(); x += 5)
                    check((p.row(y)[x] >> 24) == 0xFF, "opaque pixels");
        } catch (const DecodeError& e) {
            check(std::strncmp(e.what(), invalidBitmapText, std::strlen(invalidBitmapText)) == 0 ||
                      std::strncmp(e.what(), "Not enough memory", 17) == 0,
                  "a refusal with the reader's text");
        }
    }
    return 0;
}
