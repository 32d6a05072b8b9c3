#include "decode/Exif.h"

#include "decode/ByteOrder.h"

#include <cstring>

namespace {

// A TIFF structure read in its own byte order, every access checked against
// its length.
class Tiff {
public:
    Tiff(const std::uint8_t* p, std::size_t n, bool little) : p_(p), n_(n), little_(little) {}
    bool has(std::size_t at, std::size_t len) const { return at <= n_ && len <= n_ - at; }
    std::uint32_t u16(std::size_t at) const { return std::uint32_t(readUnsigned(p_ + at, 2, little_)); }
    std::uint32_t u32(std::size_t at) const { return std::uint32_t(readUnsigned(p_ + at, 4, little_)); }

private:
    const std::uint8_t* p_;
    std::size_t n_;
    bool little_;
};

constexpr std::uint32_t orientationTag = 0x0112;
constexpr std::uint32_t typeShort = 3;
constexpr std::uint32_t typeLong = 4;
const char exifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

} // namespace

int exifOrientation(const std::uint8_t* payload, std::size_t size)
{
    if (!payload || size < 6 + 8 || std::memcmp(payload, exifHeader, 6) != 0)
        return 1;
    return tiffOrientation(payload + 6, size - 6);
}

int tiffOrientation(const std::uint8_t* t, std::size_t n)
{
    if (t && n >= 6 && std::memcmp(t, exifHeader, 6) == 0) {
        t += 6;
        n -= 6;
    }
    if (!t || n < 8)
        return 1;
    bool little;
    if (t[0] == 'I' && t[1] == 'I')
        little = true;
    else if (t[0] == 'M' && t[1] == 'M')
        little = false;
    else
        return 1;
    const Tiff tiff(t, n, little);
    if (tiff.u16(2) != 42)
        return 1;
    const std::uint32_t ifd = tiff.u32(4);
    if (!tiff.has(ifd, 2))
        return 1;
    const std::uint32_t count = tiff.u16(ifd);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = std::size_t(ifd) + 2 + std::size_t(i) * 12;
        if (!tiff.has(entry, 12))
            return 1;
        if (tiff.u16(entry) != orientationTag)
            continue;
        const std::uint32_t type = tiff.u16(entry + 2);
        if (tiff.u32(entry + 4) < 1)
            return 1;
        // The value sits in the entry itself, at the start of its last four bytes.
        std::uint32_t value = 0;
        if (type == typeShort)
            value = tiff.u16(entry + 8);
        else if (type == typeLong)
            value = tiff.u32(entry + 8);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}
