#pragma once
// Faults no test can make for real: a disk that fills between two writes
// (copy-on-write file systems, quotas), a sync that fails, a quota or a
// device error met by the kernel's copy. The one file of a test program that
// includes this takes these calls in place of the C library's; they fail
// only while a test arms them.
#include <algorithm>
#include <cerrno>
#include <dlfcn.h>
#include <functional>
#include <utility>
#include <unistd.h>

inline struct FailingCalls {
    long PwriteBytes = -1;        // written before ENOSPC; -1: no limit
    int FsyncFailures = 0;        // the next ones fail with EIO
    bool FallocateFails = false;  // with ENOSPC
    // Runs once at the next sync: another program acting at that moment.
    std::function<void()> AtNextSync;
    int CopyRangeError = 0;       // the kernel's copy fails with it
} Failing;

template <class F> F Real(const char* name) { return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name)); }

extern "C" ssize_t pwrite(int fd, const void* buf, size_t n, off_t at)
{
    if (Failing.PwriteBytes >= 0)
        Failing.PwriteBytes -= long(n = std::min(n, size_t(Failing.PwriteBytes)));
    return n == 0 && Failing.PwriteBytes == 0 ? (errno = ENOSPC, -1) : Real<decltype(&pwrite)>("pwrite")(fd, buf, n, at);
}
extern "C" int fsync(int fd)
{
    if (auto act = std::exchange(Failing.AtNextSync, nullptr))
        act();
    return Failing.FsyncFailures > 0 && Failing.FsyncFailures-- ? (errno = EIO, -1) : Real<decltype(&fsync)>("fsync")(fd);
}
extern "C" ssize_t copy_file_range(int in, off64_t* inAt, int out, off64_t* outAt, size_t n, unsigned flags)
{
    return Failing.CopyRangeError ? (errno = Failing.CopyRangeError, -1)
                                  : Real<decltype(&copy_file_range)>("copy_file_range")(in, inAt, out, outAt, n, flags);
}
extern "C" int fallocate(int fd, int mode, off_t at, off_t length)
{
    return Failing.FallocateFails ? (errno = ENOSPC, -1) : Real<decltype(&fallocate)>("fallocate")(fd, mode, at, length);
}
