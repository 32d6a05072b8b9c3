#include "text/Temporaries.h"

#ifndef _WIN32

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

bool before(const timespec& a, const timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

bool sameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

} // namespace

int makeLockedTemporary(std::string& pattern, int suffixLength)
{
    const std::string asked = pattern;
    for (int tries = 0; tries < 100; ++tries) {
        pattern = asked;
        const int fd = ::mkostemps(pattern.data(), suffixLength, O_CLOEXEC);
        if (fd < 0)
            return -1;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK)
                return fd;   // no such locks here: a clean-up goes by the file's age
            // A clean-up took it between the two calls, and removes it.
            ::close(fd);
            continue;
        }
        // Or took it, removed it and let go before the lock was had.
        struct stat st;
        if (::fstat(fd, &st) == 0 && st.st_nlink > 0)
            return fd;
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
}

bool removeLeftoverTemporary(const std::string& path, const timespec& notBefore,
                             const std::function<bool(int fd, const struct stat& st)>& holdsOurs)
{
    struct stat named;
    if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode))
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    struct stat st;
    bool leftover = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && sameFile(st, named);
    if (leftover && ::flock(fd, LOCK_EX | LOCK_NB) != 0)
        leftover = errno != EWOULDBLOCK && before(st.st_mtim, notBefore);
    leftover = leftover && holdsOurs(fd, st);
    // Only the very file looked at, should the name have been taken meanwhile.
    const bool removed = leftover && ::lstat(path.c_str(), &named) == 0 && sameFile(st, named) && ::unlink(path.c_str()) == 0;
    ::close(fd);
    return removed;
}

#endif
