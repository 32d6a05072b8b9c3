#include "decode/Bitmap.h"

#include "decode/ByteOrder.h"
#include "decode/DecodeError.h"
#include "decode/Transform.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

// Every fault has the one text; its kind tells it apart.
[[noreturn]] void invalid(DecodeFault fault = DecodeFault::Damaged) { throw DecodeError(invalidBitmapText, fault); }

enum class Coding { Rows, Rle8, Rle4 };

struct Layout {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bits = 0;
    Coding coding = Coding::Rows;
    std::array<std::uint32_t, 3> masks{};   // red, green, blue; for 16, 24 and 32 bits
    std::uint64_t paletteStart = 0;
    int paletteEntries = 0;                 // those actually in the file
    int entrySize = 4;
    std::uint64_t pixelStart = 0;
    std::uint64_t stride = 0;               // bytes per stored row (uncompressed)
};

constexpr std::uint32_t biRgb = 0, biRle8 = 1, biRle4 = 2, biBitFields = 3, biAlphaBitFields = 6;

bool contiguous(std::uint32_t m)
{
    if (m == 0)
        return true;
    while (!(m & 1))
        m >>= 1;
    return (m & (m + 1)) == 0;
}

void readExactly(ByteSource& source, std::uint8_t* buffer, std::size_t n)
{
    std::size_t got = 0;
    while (got < n) {
        const std::size_t part = source.read(buffer + got, n - got);
        if (part == 0)
            invalid(DecodeFault::CutShort);
        got += part;
    }
}

Layout readLayout(ByteSource& source)
{
    const std::uint64_t fileSize = source.size();
    source.seek(0);
    std::uint8_t h[14 + 124] = {};
    readExactly(source, h, 18);
    if (h[0] != 'B' || h[1] != 'M')
        invalid();
    const std::uint64_t offBits = le32(h + 10);
    const std::uint32_t headerSize = le32(h + 14);
    // OS/2 1.x (12), OS/2 2.x (16 to 64, any length: missing fields are 0),
    // Windows (40, and V2 to V5: 52, 56, 108, 124).
    const bool core = headerSize == 12;
    const bool windows = headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124;
    const bool os2 = !core && !windows && headerSize >= 16 && headerSize <= 64;
    if (!core && !windows && !os2)
        invalid();
    readExactly(source, h + 18, headerSize - 4);

    Layout l;
    std::uint32_t compression = biRgb, colorsUsed = 0;
    std::int64_t height;
    if (core) {
        l.width = int(le16(h + 18));
        height = le16(h + 20);
        l.bits = int(le16(h + 24));
        l.entrySize = 3;
    } else {
        l.width = std::int32_t(le32(h + 18));
        height = std::int32_t(le32(h + 22));
        l.bits = int(le16(h + 28));
        if (headerSize >= 20)
            compression = le32(h + 30);
        if (headerSize >= 36)
            colorsUsed = le32(h + 46);
    }
    if (l.width <= 0 || height == 0 || height == INT32_MIN)
        invalid();
    l.topDown = height < 0;
    l.height = int(height < 0 ? -height : height);
    if (l.width > maxPictureSide || l.height > maxPictureSide ||
        std::uint64_t(l.width) * std::uint64_t(l.height) * 4 > maxPictureBytes)
        invalid(DecodeFault::TooLarge);

    std::uint64_t headerEnd = 14 + std::uint64_t(headerSize);
    switch (compression) {
    case biRgb:
        if (l.bits != 1 && l.bits != 2 && l.bits != 4 && l.bits != 8 && l.bits != 16 && l.bits != 24 && l.bits != 32)
            invalid();
        if (l.bits == 16)
            l.masks = {0x7C00, 0x03E0, 0x001F};
        else
            l.masks = {0xFF0000, 0x00FF00, 0x0000FF};
        break;
    case biRle8:
    case biRle4:
        // Only bottom-up rows can be run-length coded.
        if (l.bits != (compression == biRle8 ? 8 : 4) || l.topDown)
            invalid();
        l.coding = compression == biRle8 ? Coding::Rle8 : Coding::Rle4;
        break;
    case biBitFields:
    case biAlphaBitFields:
        // For OS/2 2.x, 3 means Huffman coding, which is not read.
        if (!windows || (l.bits != 16 && l.bits != 24 && l.bits != 32))
            invalid();
        if (headerSize >= 52) {
            l.masks = {le32(h + 54), le32(h + 58), le32(h + 62)};
        } else {
            const std::size_t count = compression == biBitFields ? 3 : 4;
            std::uint8_t m[16];
            readExactly(source, m, count * 4);
            l.masks = {le32(m), le32(m + 4), le32(m + 8)};
            headerEnd += count * 4;
        }
        break;
    default:
        // 4 and 5: a JPEG or PNG inside, which only printers were given.
        invalid(compression == 4 || compression == 5 ? DecodeFault::Unsupported : DecodeFault::Damaged);
    }
    if (l.bits > 8) {
        const std::uint32_t all = l.bits == 32 ? 0xFFFFFFFFu : (std::uint32_t(1) << l.bits) - 1;
        const auto [r, g, b] = l.masks;
        if ((r | g | b) == 0 || ((r | g | b) & ~all) || (r & g) || (r & b) || (g & b) || !contiguous(r) ||
            !contiguous(g) || !contiguous(b))
            invalid();
    }

    l.paletteStart = headerEnd;
    std::uint64_t paletteBytes = 0;
    int declared = 0;
    if (l.bits <= 8) {
        const std::uint32_t most = std::uint32_t(1) << l.bits;
        if (colorsUsed > most)
            invalid();
        declared = int(colorsUsed ? colorsUsed : most);
        paletteBytes = std::uint64_t(declared) * std::uint64_t(l.entrySize);
    }
    // An offset that points into the headers (0, say) is taken to mean that
    // the pixels follow the palette, as the usual readers take it. An offset
    // inside the palette means a shorter palette than declared.
    if (offBits < headerEnd || (l.bits <= 8 && offBits == headerEnd)) {
        l.pixelStart = headerEnd + paletteBytes;
        l.paletteEntries = declared;
    } else {
        l.pixelStart = offBits;
        l.paletteEntries = int(std::min<std::uint64_t>(std::uint64_t(declared), (offBits - headerEnd) / std::uint64_t(l.entrySize)));
    }
    if (l.paletteStart + std::uint64_t(l.paletteEntries) * std::uint64_t(l.entrySize) > fileSize)
        invalid(DecodeFault::CutShort);

    if (l.coding == Coding::Rows) {
        l.stride = (std::uint64_t(l.width) * std::uint64_t(l.bits) + 31) / 32 * 4;
        if (l.pixelStart > fileSize || l.stride * std::uint64_t(l.height) > fileSize - l.pixelStart)
            invalid(DecodeFault::CutShort);
    } else if (l.pixelStart >= fileSize) {
        invalid(DecodeFault::CutShort);
    }
    return l;
}

// One colour channel of a bit-field pixel, scaled to 0..255 with rounding.
class Channel {
public:
    explicit Channel(std::uint32_t mask) : mask_(mask)
    {
        if (!mask)
            return;
        while (!((mask >> shift_) & 1))
            ++shift_;
        while (bits_ + shift_ < 32 && ((mask >> (shift_ + bits_)) & 1))
            ++bits_;
        if (bits_ <= 16) {
            table_.resize(std::size_t(1) << bits_);
            for (std::uint32_t v = 0; v < table_.size(); ++v)
                table_[v] = scale(v);
        }
    }
    std::uint32_t operator()(std::uint32_t pixel) const
    {
        if (!mask_)
            return 0;
        const std::uint32_t v = (pixel & mask_) >> shift_;
        return table_.empty() ? scale(v) : table_[v];
    }

private:
    std::uint8_t scale(std::uint32_t v) const
    {
        const std::uint64_t most = (std::uint64_t(1) << bits_) - 1;
        return std::uint8_t((2 * std::uint64_t(v) * 255 + most) / (2 * most));
    }
    std::uint32_t mask_;
    int shift_ = 0;
    int bits_ = 0;
    std::vector<std::uint8_t> table_;
};

// Turns stored rows into pixels.
class RowConverter {
public:
    RowConverter(const Layout& l, ByteSource& source) : l_(l)
    {
        palette_.fill(0xFF000000u);   // an index past the palette draws black
        if (l.bits <= 8 && l.paletteEntries > 0) {
            std::vector<std::uint8_t> bytes(std::size_t(l.paletteEntries) * std::size_t(l.entrySize));
            source.seek(l.paletteStart);
            readExactly(source, bytes.data(), bytes.size());
            for (int i = 0; i < l.paletteEntries && i < 256; ++i) {
                const std::uint8_t* e = bytes.data() + std::size_t(i) * std::size_t(l.entrySize);
                palette_[std::size_t(i)] = 0xFF000000u | (std::uint32_t(e[2]) << 16) | (std::uint32_t(e[1]) << 8) | e[0];
            }
        }
        standard_ = l.bits >= 24 && l.masks == std::array<std::uint32_t, 3>{0xFF0000, 0x00FF00, 0x0000FF};
        if (l.bits == 16 || (l.bits > 16 && !standard_)) {
            const Channel r(l.masks[0]), g(l.masks[1]), b(l.masks[2]);
            if (l.bits == 16) {
                table_.resize(65536);
                for (std::uint32_t v = 0; v < 65536; ++v)
                    table_[v] = 0xFF000000u | (r(v) << 16) | (g(v) << 8) | b(v);
            } else {
                channels_ = {r, g, b};
            }
        }
    }

    const std::array<std::uint32_t, 256>& palette() const { return palette_; }

    void convert(const std::uint8_t* in, std::uint32_t* out) const
    {
        const int w = l_.width;
        switch (l_.bits) {
        case 1:
        case 2:
        case 4: {
            const int per = 8 / l_.bits;
            const unsigned mask = (1u << l_.bits) - 1;
            for (int x = 0; x < w; ++x) {
                const int shift = 8 - l_.bits * (x % per + 1);
                out[x] = palette_[(in[x / per] >> shift) & mask];
            }
            break;
        }
        case 8:
            for (int x = 0; x < w; ++x)
                out[x] = palette_[in[x]];
            break;
        case 16:
            for (int x = 0; x < w; ++x)
                out[x] = table_[le16(in + 2 * x)];
            break;
        case 24:
            if (standard_) {
                for (int x = 0; x < w; ++x, in += 3)
                    out[x] = 0xFF000000u | (std::uint32_t(in[2]) << 16) | (std::uint32_t(in[1]) << 8) | in[0];
            } else {
                for (int x = 0; x < w; ++x, in += 3)
                    out[x] = pixelOf(std::uint32_t(in[0] | (in[1] << 8) | (in[2] << 16)));
            }
            break;
        default:   // 32
            if (standard_) {
                for (int x = 0; x < w; ++x)
                    out[x] = 0xFF000000u | (le32(in + 4 * x) & 0xFFFFFFu);
            } else {
                for (int x = 0; x < w; ++x)
                    out[x] = pixelOf(le32(in + 4 * x));
            }
            break;
        }
    }

private:
    std::uint32_t pixelOf(std::uint32_t v) const
    {
        return 0xFF000000u | (channels_[0](v) << 16) | (channels_[1](v) << 8) | channels_[2](v);
    }

    const Layout& l_;
    std::array<std::uint32_t, 256> palette_;
    bool standard_ = false;
    std::vector<std::uint32_t> table_;   // 16 bits: every value's pixel
    std::vector<Channel> channels_;      // other bit fields
};

void decodeRows(const Layout& l, ByteSource& source, const RowConverter& convert, RowShrinker& shrinker,
                const DecodeControl& control)
{
    BufferedReader reader(source, l.pixelStart, l.stride * std::uint64_t(l.height));
    for (int i = 0; i < l.height; ++i) {
        control.checkCancelled();
        const std::uint8_t* row = reader.take(std::size_t(l.stride));
        if (!row)
            invalid();
        const int y = l.topDown ? i : l.height - 1 - i;
        convert.convert(row, shrinker.rowFor(y));
        shrinker.commit(y);
    }
    reader.settle();
}

// Run-length coded rows, bottom row first. Pixels that no run paints (after
// an early end of line or of the bitmap, or skipped by a delta) take palette
// index 0. A run that would repeat past the row's end is cut there; literal
// bytes past it, or data that ends before the picture does, are refused.
void decodeRunLengths(const Layout& l, ByteSource& source, const RowConverter& convert, RowShrinker& shrinker,
                      const DecodeControl& control)
{
    const bool rle4 = l.coding == Coding::Rle4;
    const int w = l.width;
    BufferedReader reader(source, l.pixelStart, source.size() - l.pixelStart);
    std::vector<std::uint8_t> index(std::size_t(w), 0);
    const auto& palette = convert.palette();
    int fileRow = 0, x = 0;
    auto emit = [&] {
        control.checkCancelled();
        const int y = l.height - 1 - fileRow;
        std::uint32_t* out = shrinker.rowFor(y);
        for (int i = 0; i < w; ++i)
            out[i] = palette[index[std::size_t(i)]];
        shrinker.commit(y);
        std::fill(index.begin(), index.end(), std::uint8_t(0));
        ++fileRow;
    };
    while (fileRow < l.height) {
        const std::uint8_t* p = reader.take(2);
        if (!p)
            invalid();
        const int count = p[0], code = p[1];
        if (count > 0) {
            const int n = std::min(count, w - x);
            for (int i = 0; i < n; ++i)
                index[std::size_t(x + i)] = std::uint8_t(rle4 ? ((i & 1) ? code & 0x0F : code >> 4) : code);
            x += n;
        } else if (code == 0) {   // end of line
            emit();
            x = 0;
        } else if (code == 1) {   // end of bitmap
            while (fileRow < l.height)
                emit();
        } else if (code == 2) {   // delta: right and up (further into the file)
            const std::uint8_t* d = reader.take(2);
            if (!d)
                invalid();
            for (int i = 0; i < d[1] && fileRow < l.height; ++i)
                emit();
            x = std::min(w, x + d[0]);
        } else {                  // literal pixels, padded to a whole word
            const std::size_t bytes = rle4 ? std::size_t(code + 1) / 2 : std::size_t(code);
            if (x + code > w)
                invalid();
            const std::uint8_t* q = reader.take(bytes);
            if (!q)
                invalid();
            for (int i = 0; i < code; ++i)
                index[std::size_t(x + i)] = rle4 ? ((i & 1) ? q[i / 2] & 0x0F : q[i / 2] >> 4) : q[i];
            x += code;
            if (bytes & 1)
                reader.take(1);
        }
    }
    reader.settle();
}

} // namespace

BitmapHeader readBitmapHeader(ByteSource& source)
{
    const Layout l = readLayout(source);
    return {l.width, l.height, l.bits};
}

PixelBuffer decodeBitmap(ByteSource& source, int halvings, const DecodeControl& control, std::uint64_t reserveBytes)
{
    const Layout l = readLayout(source);
    const int width = scaledLength(l.width, halvings), height = scaledLength(l.height, halvings);
    const std::uint64_t need = std::uint64_t(width) * std::uint64_t(height) * 4 +
                               RowShrinker::workBytes(l.width, halvings) + l.stride + std::uint64_t(l.width) +
                               reserveBytes;
    if (need > control.budget().maxBytes)
        invalid();
    const RowConverter convert(l, source);
    PixelBuffer out = PixelBuffer::allocate(width, height);
    RowShrinker shrinker(out, l.width, l.height, halvings);
    if (l.coding == Coding::Rows)
        decodeRows(l, source, convert, shrinker, control);
    else
        decodeRunLengths(l, source, convert, shrinker, control);
    shrinker.finish();
    return out;
}
