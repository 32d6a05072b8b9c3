#pragma once
// The one reader of fixed-width integers in the executable headers a player
// reads (ELF and PE); the settings record has its own (record/). The caller
// has checked the bounds.
#include <cstdint>

namespace player {

inline std::uint64_t readUnsigned(const std::uint8_t* p, int bytes, bool little = true)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint64_t(p[little ? i : bytes - 1 - i]) << (8 * i);
    return v;
}

inline std::uint32_t readLittle32(const std::uint8_t* p) { return std::uint32_t(readUnsigned(p, 4)); }
inline std::uint16_t readLittle16(const std::uint8_t* p) { return std::uint16_t(readUnsigned(p, 2)); }

} // namespace player
