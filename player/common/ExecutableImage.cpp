#include "common/ExecutableImage.h"

#include "decode/ByteOrder.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace player {
namespace {

// Bounds-checked reads and a running end, shared by both formats.
class Reader {
public:
    Reader(const std::uint8_t* d, std::uint64_t size, bool little) : d_(d), size_(size), little_(little) {}

    std::optional<std::uint64_t> field(std::uint64_t off, int bytes) const
    {
        if (off > size_ || size_ - off < std::uint64_t(bytes))
            return std::nullopt;
        return readUnsigned(d_ + off, bytes, little_);
    }
    // Takes [off, off + len) into the image; false when it leaves the file.
    bool extend(std::uint64_t off, std::uint64_t len)
    {
        if (off > size_ || len > size_ - off)
            return false;
        end_ = std::max(end_, off + len);
        return true;
    }
    std::uint64_t end() const { return end_; }
    std::uint64_t size() const { return size_; }

private:
    const std::uint8_t* d_;
    std::uint64_t size_;
    bool little_;
    std::uint64_t end_ = 0;
};

ImageSize refused(std::string why) { return {0, std::move(why)}; }

ImageSize elfImageSize(const std::uint8_t* d, std::uint64_t size)
{
    if (size < 52)
        return refused("its ELF header is cut short");
    const bool is64 = d[4] == 2;
    if ((d[4] != 1 && d[4] != 2) || (d[5] != 1 && d[5] != 2))
        return refused("its ELF header names no known class or byte order");
    if (is64 && size < 64)
        return refused("its ELF header is cut short");
    Reader r(d, size, d[5] == 1);
    const int word = is64 ? 8 : 4;
    // All inside the header, which is in the file.
    const std::uint64_t phoff = *r.field(is64 ? 32 : 28, word);
    const std::uint64_t shoff = *r.field(is64 ? 40 : 32, word);
    const std::uint64_t phentsize = *r.field(is64 ? 54 : 42, 2);
    const std::uint64_t phnum = *r.field(is64 ? 56 : 44, 2);
    const std::uint64_t shentsize = *r.field(is64 ? 58 : 46, 2);
    const std::uint64_t shnum = *r.field(is64 ? 60 : 48, 2);
    r.extend(0, is64 ? 64 : 52);
    // Entries smaller than the fields read from them would overlap the next.
    if (phnum && (phentsize < (is64 ? 56u : 32u) || !r.extend(phoff, phentsize * phnum)))
        return refused("its program header table lies outside the file");
    for (std::uint64_t i = 0; i < phnum; ++i) {
        const std::uint64_t h = phoff + i * phentsize;
        const std::uint64_t off = *r.field(h + (is64 ? 8 : 4), word);
        const std::uint64_t filesz = *r.field(h + (is64 ? 32 : 16), word);
        if (!r.extend(off, filesz))
            return refused("program segment " + std::to_string(i) + " lies outside the file");
    }
    if (shnum && (shentsize < (is64 ? 64u : 40u) || !r.extend(shoff, shentsize * shnum)))
        return refused("its section header table lies outside the file");
    for (std::uint64_t i = 0; i < shnum; ++i) {
        const std::uint64_t h = shoff + i * shentsize;
        const std::uint64_t type = *r.field(h + 4, 4);
        const std::uint64_t off = *r.field(h + (is64 ? 24 : 16), word);
        const std::uint64_t sz = *r.field(h + (is64 ? 32 : 20), word);
        constexpr std::uint64_t noBits = 8;   // SHT_NOBITS: takes no bytes in the file
        if (type != noBits && !r.extend(off, sz))
            return refused("section " + std::to_string(i) + " lies outside the file");
    }
    return {r.end(), {}};
}

ImageSize peImageSize(const std::uint8_t* d, std::uint64_t size)
{
    Reader r(d, size, true);
    const auto lfanew = r.field(0x3C, 4);
    if (!lfanew)
        return refused("its DOS header is cut short");
    const std::uint64_t pe = *lfanew;
    if (!r.extend(pe, 24) || std::memcmp(d + pe, "PE\0\0", 4) != 0)
        return refused("it has no PE header");
    const std::uint64_t sections = *r.field(pe + 6, 2);
    const std::uint64_t symbolTable = *r.field(pe + 12, 4);
    const std::uint64_t symbols = *r.field(pe + 16, 4);
    const std::uint64_t optionalSize = *r.field(pe + 20, 2);
    const std::uint64_t opt = pe + 24;
    if (!r.extend(opt, optionalSize) || optionalSize < 2)
        return refused("its optional header is cut short");
    const std::uint64_t magic = *r.field(opt, 2);
    if (magic != 0x10B && magic != 0x20B)
        return refused("its optional header is neither PE32 nor PE32+");
    const bool plus = magic == 0x20B;
    // SizeOfHeaders, and the data directories' count and table.
    const std::uint64_t dirCountAt = plus ? 108 : 92;
    if (optionalSize < dirCountAt + 4)
        return refused("its optional header is cut short");
    const std::uint64_t headers = *r.field(opt + 60, 4);
    const std::uint64_t dirCount = *r.field(opt + dirCountAt, 4);
    if (!r.extend(0, headers))
        return refused("its headers lie outside the file");
    const std::uint64_t table = opt + optionalSize;
    if (!r.extend(table, sections * 40))
        return refused("its section table lies outside the file");
    for (std::uint64_t i = 0; i < sections; ++i) {
        const std::uint64_t h = table + i * 40;
        const std::uint64_t rawSize = *r.field(h + 16, 4);
        const std::uint64_t rawAt = *r.field(h + 20, 4);
        if (rawSize && !r.extend(rawAt, rawSize))
            return refused("section " + std::to_string(i + 1) + " lies outside the file");
    }
    // A COFF symbol table (unstripped mingw builds): 18 bytes a symbol, then
    // a string table that starts with its own length.
    if (symbolTable) {
        if (!r.extend(symbolTable, symbols * 18))
            return refused("its symbol table lies outside the file");
        const auto strings = r.field(symbolTable + symbols * 18, 4);
        if (!strings || *strings < 4 || !r.extend(symbolTable + symbols * 18, *strings))
            return refused("its string table lies outside the file");
    }
    // Directory 4, the certificate table, holds a file offset, not an address.
    constexpr std::uint64_t certificates = 4;
    const std::uint64_t dirs = opt + dirCountAt + 4;
    if (dirCount > certificates && optionalSize >= dirCountAt + 4 + (certificates + 1) * 8) {
        const std::uint64_t at = *r.field(dirs + certificates * 8, 4);
        const std::uint64_t len = *r.field(dirs + certificates * 8 + 4, 4);
        if (len && !r.extend(at, len))
            return refused("its certificate table lies outside the file");
    }
    return {r.end(), {}};
}

} // namespace

ImageSize executableImageSize(const std::uint8_t* data, std::uint64_t size)
{
    if (size >= 4 && std::memcmp(data, "\x7f" "ELF", 4) == 0)
        return elfImageSize(data, size);
    if (size >= 2 && data[0] == 'M' && data[1] == 'Z')
        return peImageSize(data, size);
    return refused("it is neither an ELF nor a PE program");
}

} // namespace player
