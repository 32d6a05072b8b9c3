#include "toolkit/FileCopy.h"

#include "toolkit/FileStream.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace {

// Bytes handed to the kernel per call: large, so that a copy takes a call or
// two, and no more than one call may move.
constexpr std::size_t KernelCopyChunk = std::size_t(1) << 30;

// The system offers no kernel copy between these two files (an old kernel, a
// filter, two file systems, one that cannot): the plain loop does it.
bool noKernelCopy(int err)
{
    return err == ENOSYS || err == EXDEV || err == EINVAL || err == EOPNOTSUPP || err == EPERM || err == ETXTBSY;
}

CopyOutcome copyBlocks(int from, int to, std::int64_t limit)
{
    const std::unique_ptr<char[]> block(new char[CopyBlockSize]);
    while (limit > 0) {
        const ssize_t got = ::read(from, block.get(), std::size_t(std::min<std::int64_t>(CopyBlockSize, limit)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return copyOutcomeOf(errno);
        if (got == 0)
            break;
        if (const CopyOutcome written = writeAllBytes(to, block.get(), std::size_t(got)); !written.copied())
            return written;
        limit -= got;
    }
    return {};
}

} // namespace

CopyOutcome CopyFileRange(int from, int to, std::int64_t limit)
{
    bool movedAny = false;
    while (limit > 0) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, std::size_t(std::min<std::int64_t>(limit, KernelCopyChunk)), 0);
        if (n > 0) {
            movedAny = true;
            limit -= n;
        } else if (n == 0) {
            // The end; though some file systems read as empty through this
            // call alone, so where it copied nothing the loop looks again.
            if (movedAny)
                return {};
            break;
        } else if (errno == EINTR) {
            continue;
        } else if (noKernelCopy(errno)) {
            break;
        } else {
            return copyOutcomeOf(errno);
        }
    }
    return copyBlocks(from, to, limit);
}
