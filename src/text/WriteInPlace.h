#pragma once
// A file written over where it stands, for the project file and
// ~/.xscreensaver when they cannot be replaced by a new file (other names,
// another owner, a folder that takes no new file). Plain C++ on the POSIX
// calls, shared by the program and the players; not built for Windows.
#include <cstddef>
#include <string_view>

#ifndef _WIN32

// Writes all of `bytes` at the start of `fd`: 0, or the errno of the
// failure. `touched` is set when any byte went out.
int writeAtStart(int fd, std::string_view bytes, bool* touched = nullptr);

struct InPlaceOutcome {
    int Error = 0;          // errno of the first failure, 0 when all is written
    bool Damaged = false;   // the file was touched and could not be put back as it was
};

// Makes the open file `fd` (read and write) hold exactly `bytes`. Room for
// them is reserved first where the file system offers it, so that a full
// disk is found before any byte changes; the old contents are kept whole
// and put back when a write, a sync or the cut fails. Bytes shorter than
// the old contents are written padded with line breaks to the old length
// before the file is cut, so that a kill at any moment leaves the new bytes
// whole, with at most empty lines after them. A file larger than
// `largestOld` is left as it is (EFBIG): it would be held in memory.
InPlaceOutcome writeInPlace(int fd, std::string_view bytes, std::size_t largestOld);

#endif
