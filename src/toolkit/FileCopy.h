#pragma once
// The one way the program copies a file's bytes (the compile's screensavers,
// Locate's copies, short-named twins where no hard link can be made): from a
// descriptor that was opened and checked, never by a name again. The kernel
// copies where it can (copy_file_range: no byte passes through the program,
// and file systems that can share blocks copy none at all); elsewhere a plain
// loop does, in blocks of CopyBlockSize bytes.
#include "toolkit/Errors.h"

#include <cstdint>
#include <limits>

// The plain loop's block. The copies used to go in 2048-byte blocks; at one
// read and one write per block a compile of 100 MB spent most of its time in
// system calls (four times as long as `cat`). The block size changes nothing
// in the files written.
constexpr int CopyBlockSize = 1024 * 1024;

// Copies from `from`'s position to its end, but no more than `limit` bytes,
// to `to` at its position; both positions move past what was copied. A copy
// cut short says why (CopyOutcome); it never throws.
[[nodiscard]] CopyOutcome CopyFileRange(int from, int to, std::int64_t limit = std::numeric_limits<std::int64_t>::max());
