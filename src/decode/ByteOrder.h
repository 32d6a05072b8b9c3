#pragma once
// The one reader (and writer) of fixed-width integers stored byte by byte:
// little-endian as the project file, BMP, RIFF and PE keep them, and either
// way for formats that state their order (TIFF in EXIF, ELF) or keep the
// other (PNG, ISO boxes). The caller has checked the bounds. Header only and
// plain C++, for every folder and both players.
#include <cstdint>

inline std::uint64_t readUnsigned(const std::uint8_t* p, int bytes, bool little = true)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint64_t(p[little ? i : bytes - 1 - i]) << (8 * i);
    return v;
}

inline std::uint32_t le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
inline std::uint32_t le32(const std::uint8_t* p) { return le16(p) | le16(p + 2) << 16; }
inline std::uint32_t be32(const std::uint8_t* p) { return std::uint32_t(readUnsigned(p, 4, false)); }

inline void putLe16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}
inline void putLe32(std::uint8_t* p, std::uint32_t v)
{
    putLe16(p, v);
    putLe16(p + 2, v >> 16);
}
