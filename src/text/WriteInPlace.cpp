#include "text/WriteInPlace.h"

#ifndef _WIN32

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int writeAtStart(int fd, std::string_view bytes, bool* touched)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        if (touched)
            *touched = true;
        done += std::size_t(n);
    }
    return 0;
}

InPlaceOutcome writeInPlace(int fd, std::string_view bytes, std::size_t largestOld)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return {errno};
    if (!S_ISREG(st.st_mode))
        return {EACCES};
    if (std::size_t(st.st_size) > largestOld)
        return {EFBIG};
    std::string old(std::size_t(st.st_size), '\0');
    for (std::size_t got = 0; got < old.size();) {
        const ssize_t n = ::pread(fd, old.data() + got, old.size() - got, off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return {n < 0 ? errno : EIO};
        got += std::size_t(n);
    }
    // Where the file system cannot reserve, the writes find out.
    if (!bytes.empty() && ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(bytes.size())) != 0 && errno != EOPNOTSUPP &&
        errno != ENOSYS && errno != EINVAL)
        return {errno};
    // Shorter bytes go out padded with line breaks to the old length, and
    // the file is cut only once they are on the disk: a kill between the
    // two leaves them whole, followed by empty lines, never by the old end.
    std::string padded(bytes);
    if (old.size() > padded.size())
        padded.append(old.size() - padded.size(), '\n');
    bool touched = false;
    int err = writeAtStart(fd, padded, &touched);
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (!err && old.size() > bytes.size() && (::ftruncate(fd, off_t(bytes.size())) != 0 || ::fsync(fd) != 0)) {
        err = errno;
        touched = true;
    }
    if (!err || !touched)
        return {err};
    const bool restored = writeAtStart(fd, old) == 0 && ::ftruncate(fd, st.st_size) == 0 && ::fsync(fd) == 0;
    return {err, !restored};
}

#endif
