// Where a player's executable image ends, from hand-made ELF and PE headers.
#include "Bytes.h"
#include "common/ExecutableImage.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using namespace player;

namespace {
ImageSize of(const Bytes& b) { return executableImageSize(b.data(), b.size()); }

// ELF64, little-endian: header, one program header at 64 covering bytes
// 0..0x180, two section headers at 0x200 (the null one, and one of 0x40
// bytes at 0x180), so the image ends at 0x200 + 2 * 64 = 0x280.
Bytes elf64()
{
    Bytes b(0x280, 0);
    putText(b, 0, "\x7F" "ELF");
    b[4] = 2;                   // ELFCLASS64
    b[5] = 1;                   // little-endian
    b[6] = 1;
    put(b, 32, 64, 8);          // e_phoff
    put(b, 40, 0x200, 8);       // e_shoff
    put(b, 52, 64, 2);          // e_ehsize
    put(b, 54, 56, 2);          // e_phentsize
    put(b, 56, 1, 2);           // e_phnum
    put(b, 58, 64, 2);          // e_shentsize
    put(b, 60, 2, 2);           // e_shnum
    put(b, 64 + 0, 1, 4);       // PT_LOAD
    put(b, 64 + 8, 0, 8);       // p_offset
    put(b, 64 + 32, 0x180, 8);  // p_filesz
    put(b, 0x240 + 4, 1, 4);    // section 1: SHT_PROGBITS
    put(b, 0x240 + 24, 0x180, 8);
    put(b, 0x240 + 32, 0x40, 8);
    return b;
}

// ELF32, big-endian: header, no program headers, three sections at 0x100
// (null, 0x20 bytes at 0x34, and a SHT_NOBITS of 0x10000 bytes), ending at
// 0x100 + 3 * 40 = 0x178.
Bytes elf32BigEndian()
{
    Bytes b(0x178, 0);
    putText(b, 0, "\x7F" "ELF");
    b[4] = 1;
    b[5] = 2;
    put(b, 32, 0x100, 4, false);   // e_shoff
    put(b, 42, 32, 2, false);      // e_phentsize
    put(b, 44, 0, 2, false);       // e_phnum
    put(b, 46, 40, 2, false);      // e_shentsize
    put(b, 48, 3, 2, false);       // e_shnum
    put(b, 0x128 + 4, 1, 4, false);
    put(b, 0x128 + 16, 0x34, 4, false);
    put(b, 0x128 + 20, 0x20, 4, false);
    put(b, 0x150 + 4, 8, 4, false);          // SHT_NOBITS: no bytes in the file
    put(b, 0x150 + 16, 0x178, 4, false);
    put(b, 0x150 + 20, 0x10000, 4, false);
    return b;
}

// PE32+ as mingw-w64 writes it: DOS header with e_lfanew 0x80, PE signature,
// COFF header (2 sections, optional header of 0xF0 bytes), headers of 0x400
// bytes, .text (0x200 bytes at 0x400) and .data (0x200 bytes at 0x600): the
// image ends at 0x800.
Bytes pe32plus()
{
    Bytes b(0x800, 0);
    putText(b, 0, "MZ");
    put(b, 0x3C, 0x80, 4);
    putText(b, 0x80, std::string("PE\0\0", 4));
    put(b, 0x84, 0x8664, 2);        // Machine
    put(b, 0x86, 2, 2);             // NumberOfSections
    put(b, 0x94, 0xF0, 2);          // SizeOfOptionalHeader
    put(b, 0x98, 0x20B, 2);         // PE32+
    put(b, 0x98 + 60, 0x400, 4);    // SizeOfHeaders
    put(b, 0x98 + 108, 16, 4);      // NumberOfRvaAndSizes
    putText(b, 0x188, ".text");
    put(b, 0x188 + 16, 0x200, 4);   // SizeOfRawData
    put(b, 0x188 + 20, 0x400, 4);   // PointerToRawData
    putText(b, 0x1B0, ".data");
    put(b, 0x1B0 + 16, 0x200, 4);
    put(b, 0x1B0 + 20, 0x600, 4);
    return b;
}

// PE32: optional header of 0xE0 bytes, one section of 0x200 bytes at 0x200.
Bytes pe32()
{
    Bytes b(0x400, 0);
    putText(b, 0, "MZ");
    put(b, 0x3C, 0x40, 4);
    putText(b, 0x40, std::string("PE\0\0", 4));
    put(b, 0x44, 0x14C, 2);
    put(b, 0x46, 1, 2);
    put(b, 0x54, 0xE0, 2);
    put(b, 0x58, 0x10B, 2);
    put(b, 0x58 + 60, 0x200, 4);
    put(b, 0x58 + 92, 16, 4);
    putText(b, 0x138, ".text");
    put(b, 0x138 + 16, 0x200, 4);
    put(b, 0x138 + 20, 0x200, 4);
    return b;
}

void append(Bytes& b, std::size_t n) { b.resize(b.size() + n, 0xEE); }
} // namespace

TEST(ExecutableImage, AnElfImageEndsAfterItsFurthestPart)
{
    Bytes b = elf64();
    append(b, 300);   // a store
    EXPECT_EQ(of(b).end, 0x280u) << of(b).problem;
    Bytes be = elf32BigEndian();
    append(be, 10);
    EXPECT_EQ(of(be).end, 0x178u) << "a SHT_NOBITS section takes no bytes: " << of(be).problem;
    // Segments reaching further than the section table move the end.
    Bytes far = elf64();
    put(far, 64 + 32, 0x300, 8);
    append(far, 0x100);
    EXPECT_EQ(of(far).end, 0x300u);
}

TEST(ExecutableImage, TheRunningTestProgramEndsWhereItsFileEnds)
{
    std::ifstream in("/proc/self/exe", std::ios::binary);
    const Bytes self((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(self.size(), 1000u);
    EXPECT_EQ(of(self).end, self.size()) << of(self).problem;
}

TEST(ExecutableImage, DamagedElfHeadersAreRefusedWithAReason)
{
    Bytes b = elf64();
    EXPECT_TRUE(of(Bytes(b.begin(), b.begin() + 40)).problem.find("cut short") != std::string::npos);
    Bytes badClass = b;
    badClass[4] = 3;
    EXPECT_FALSE(of(badClass).ok());
    Bytes table = b;
    put(table, 40, 0x7FFFFFFFFFFFFFF0ull, 8);   // e_shoff near the top: no overflow
    EXPECT_EQ(of(table).problem, "its section header table lies outside the file");
    Bytes segment = b;
    put(segment, 64 + 8, 0xFFFFFFFFFFFFFF00ull, 8);
    put(segment, 64 + 32, 0x200, 8);
    EXPECT_EQ(of(segment).problem, "program segment 0 lies outside the file");
    Bytes section = b;
    put(section, 0x240 + 32, 0x1000, 8);
    EXPECT_EQ(of(section).problem, "section 1 lies outside the file");
    Bytes overlapping = b;
    put(overlapping, 54, 8, 2);   // program headers of 8 bytes cannot hold their fields
    EXPECT_EQ(of(overlapping).problem, "its program header table lies outside the file");
    Bytes cut = b;
    cut.resize(0x27F);
    EXPECT_FALSE(of(cut).ok()) << "the section table runs past the end";
}

TEST(ExecutableImage, APeImageEndsAfterItsLastSectionsRawData)
{
    Bytes b = pe32plus();
    append(b, 500);
    EXPECT_EQ(of(b).end, 0x800u) << of(b).problem;
    Bytes small = pe32();
    append(small, 1);
    EXPECT_EQ(of(small).end, 0x400u) << of(small).problem;
    // Sections in any order: the furthest counts, not the last in the table.
    Bytes swapped = pe32plus();
    put(swapped, 0x188 + 20, 0x600, 4);
    put(swapped, 0x1B0 + 20, 0x400, 4);
    EXPECT_EQ(of(swapped).end, 0x800u);
    // A section without raw data (.bss) is not in the file.
    Bytes bss = pe32plus();
    put(bss, 0x1B0 + 16, 0, 4);
    put(bss, 0x1B0 + 20, 0xFFFFFFFF, 4);
    EXPECT_EQ(of(bss).end, 0x600u);
}

TEST(ExecutableImage, APeCertificateTableOrSymbolTableExtendsTheImage)
{
    Bytes signedFile = pe32plus();
    put(signedFile, 0x98 + 112 + 4 * 8, 0x800, 4);       // certificate table: a file offset
    put(signedFile, 0x98 + 112 + 4 * 8 + 4, 0x108, 4);
    append(signedFile, 0x108 + 40);
    EXPECT_EQ(of(signedFile).end, 0x908u) << of(signedFile).problem;

    Bytes symbols = pe32plus();
    put(symbols, 0x8C, 0x800, 4);   // PointerToSymbolTable
    put(symbols, 0x90, 3, 4);       // NumberOfSymbols: 54 bytes
    put(symbols, 0x800 + 54, 11, 4);   // string table of 11 bytes, its length included
    append(symbols, 7);
    EXPECT_EQ(of(symbols).end, 0x800u + 54 + 11) << of(symbols).problem;
}

TEST(ExecutableImage, DamagedPeHeadersAreRefusedWithAReason)
{
    const Bytes b = pe32plus();
    auto with = [&](std::size_t at, std::uint64_t v, int width) {
        Bytes c = b;
        put(c, at, v, width);
        return of(c).problem;
    };
    EXPECT_EQ(with(0x3C, 0xFFFFFFF0, 4), "it has no PE header");
    EXPECT_EQ(with(0x80, 0, 1), "it has no PE header");
    EXPECT_EQ(with(0x98, 0x107, 2), "its optional header is neither PE32 nor PE32+");
    EXPECT_EQ(with(0x94, 0x40, 2), "its optional header is cut short");
    EXPECT_EQ(with(0x94, 0xFFFF, 2), "its optional header is cut short");
    EXPECT_EQ(with(0x98 + 60, 0x900, 4), "its headers lie outside the file");
    EXPECT_EQ(with(0x86, 0xFFFF, 2), "its section table lies outside the file");
    EXPECT_EQ(with(0x1B0 + 20, 0xFFFFFF00, 4), "section 2 lies outside the file");
    EXPECT_EQ(with(0x1B0 + 16, 0xFFFFFFFF, 4), "section 2 lies outside the file");
    auto with2 = [&](std::size_t at1, std::uint64_t v1, std::size_t at2, std::uint64_t v2) {
        Bytes c = b;
        put(c, at1, v1, 4);
        put(c, at2, v2, 4);
        return of(c).problem;
    };
    EXPECT_EQ(with2(0x98 + 112 + 32, 0x7F8, 0x98 + 112 + 36, 0x10), "its certificate table lies outside the file");
    EXPECT_EQ(with2(0x98 + 112 + 32, 0xFFFFFFFF, 0x98 + 112 + 36, 0xFFFFFFFF), "its certificate table lies outside the file");
    EXPECT_EQ(with(0x8C, 0x7F0, 4), "its string table lies outside the file");
    EXPECT_EQ(with2(0x8C, 0x700, 0x90, 0xFFFFFFFF), "its symbol table lies outside the file");
    EXPECT_EQ(with(0x90, 0xFFFFFFFF, 4), "") << "a symbol count without a table means nothing";
    EXPECT_EQ(with(0x98 + 108, 4, 4), "") << "no certificate directory: nothing to add";
    EXPECT_EQ(of(Bytes{'M', 'Z'}).problem, "its DOS header is cut short");
    EXPECT_EQ(of(Bytes{'#', '!', '/', 'b'}).problem, "it is neither an ELF nor a PE program");
    EXPECT_EQ(of(Bytes{}).problem, "it is neither an ELF nor a PE program");
}
