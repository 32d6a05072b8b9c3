#include "toolkit/FileCopy.h"

#include "toolkit/Files.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <unistd.h>

namespace {

// Bytes handed to the kernel per call: large, so that a copy takes a call or
// two, and no more than one call may move.
constexpr std::size_t KernelCopyChunk = std::size_t(1) << 30;

// The write failed for want of room (disk full, quota, file-size limit).
bool outOfRoom(int err) { return err == ENOSPC || err == EFBIG || err == EDQUOT; }

// The system offers no kernel copy between these two files (an old kernel, a
// filter, two file systems, one that cannot): the plain loop does it.
bool noKernelCopy(int err)
{
    return err == ENOSYS || err == EXDEV || err == EINVAL || err == EOPNOTSUPP || err == EPERM || err == ETXTBSY;
}

bool copyBlocks(int from, int to, std::int64_t limit)
{
    const std::unique_ptr<char[]> block(new char[CopyBlockSize]);
    while (limit > 0) {
        const ssize_t got = ::read(from, block.get(), std::size_t(std::min<std::int64_t>(CopyBlockSize, limit)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw EInOutError(IOCodeFromErrno(errno));
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t w = ::write(to, block.get() + done, std::size_t(got - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w == 0 || (w < 0 && outOfRoom(errno)))
                return false;
            if (w < 0)
                throw EInOutError(IOCodeFromErrno(errno));
            done += w;
        }
        limit -= got;
    }
    return true;
}

} // namespace

bool CopyFileRange(int from, int to, std::int64_t limit)
{
    bool copied = false;
    while (limit > 0) {
        const ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, std::size_t(std::min<std::int64_t>(limit, KernelCopyChunk)), 0);
        if (n > 0) {
            copied = true;
            limit -= n;
        } else if (n == 0) {
            // The end; though some file systems read as empty through this
            // call alone, so where it copied nothing the loop looks again.
            if (copied)
                return true;
            break;
        } else if (errno == EINTR) {
            continue;
        } else if (outOfRoom(errno)) {
            return false;
        } else if (noKernelCopy(errno)) {
            break;
        } else {
            throw EInOutError(IOCodeFromErrno(errno));
        }
    }
    return copyBlocks(from, to, limit);
}
