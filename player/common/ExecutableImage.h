#pragma once
// Where a player's own executable image ends in its file: a compiled
// screensaver is the player followed by its image store, with nothing that
// marks the seam, so the player reads it from its own headers. ELF (the X11
// player) and PE (the Windows player) are known; every offset and size is
// checked against the file, without overflow.
#include <cstdint>
#include <string>

namespace player {

struct ImageSize {
    std::uint64_t end = 0;   // first byte after the image; valid when problem is empty
    std::string problem;     // why the headers cannot be read, for a person
    bool ok() const { return problem.empty(); }
};

// ELF: the furthest of the program headers' file data, the sections' data and
// the section header table. PE: the furthest of the headers, each section's
// raw data, the COFF symbol and string tables, and the certificate table.
ImageSize executableImageSize(const std::uint8_t* data, std::uint64_t size);

} // namespace player
