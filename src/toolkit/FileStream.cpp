#include "toolkit/FileStream.h"

#include "toolkit/FileNames.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TFileStream::TFileStream(const QString& name, Mode mode, Links links)
    : FileName_(mode == fmCreateNew ? name : ResolveName(name))
{
    // Never waiting on the open: a pipe without a writer would block for ever.
    int flags = O_CLOEXEC | O_NONBLOCK;
    switch (mode) {
    case fmOpenRead: flags |= O_RDONLY; break;
    case fmOpenWrite: flags |= O_WRONLY; break;
    case fmOpenReadWrite: flags |= O_RDWR; break;
    case fmCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case fmCreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
    }
    if (links == NoLinks)
        flags |= O_NOFOLLOW;
    if (name.isEmpty())
        throw EInOutError(IOCode::FileNotFound);
    if (holdsZero(name))
        throw EInOutError(IOCode::InvalidFilename);
    do {
        fd_ = ::open(NativePath(FileName_).constData(), flags, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        throw EInOutError(links == NoLinks && errno == ELOOP ? IOCode::FileNotFound : IOCodeFromErrno(errno));
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw EInOutError(IOCode::AccessDenied);
    }
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
}

TFileStream::~TFileStream()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::size_t TFileStream::Read(void* buffer, std::size_t n)
{
    std::size_t done = 0;
    auto* p = static_cast<char*>(buffer);
    while (done < n) {
        const ssize_t r = ::read(fd_, p + done, n - done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError(IOCodeFromErrno(errno));
        }
        if (r == 0)
            break;
        done += std::size_t(r);
    }
    return done;
}

void TFileStream::ReadBuffer(void* buffer, std::size_t n)
{
    if (Read(buffer, n) != n)
        throw EInOutError(IOCode::ReadBeyondEnd);
}

std::size_t TFileStream::Write(const void* buffer, std::size_t n)
{
    std::size_t done = 0;
    const auto* p = static_cast<const char*>(buffer);
    while (done < n) {
        const ssize_t w = ::write(fd_, p + done, n - done);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            if (errno == ENOSPC || errno == EFBIG || errno == EDQUOT)
                break;
            throw EInOutError(IOCodeFromErrno(errno));
        }
        if (w == 0)
            break;
        done += std::size_t(w);
    }
    return done;
}

CopyOutcome writeAllBytes(int to, const void* bytes, std::size_t n)
{
    const auto* p = static_cast<const char*>(bytes);
    for (std::size_t done = 0; done < n;) {
        const ssize_t w = ::write(to, p + done, n - done);
        if (w < 0 && errno == EINTR)
            continue;
        // Nothing written and no error: no room either.
        if (w == 0)
            return copyOutcomeOf(ENOSPC);
        if (w < 0)
            return copyOutcomeOf(errno);
        done += std::size_t(w);
    }
    return {};
}

void TFileStream::WriteBuffer(const void* buffer, std::size_t n)
{
    if (const CopyOutcome written = writeAllBytes(fd_, buffer, n); !written.copied())
        throwCopyFailure(written);
}

std::int64_t TFileStream::Seek(std::int64_t offset, int whence)
{
    const off_t r = ::lseek(fd_, off_t(offset), whence);
    if (r < 0)
        throw EInOutError(IOCodeFromErrno(errno));
    return r;
}

std::int64_t TFileStream::Position() { return Seek(0, SEEK_CUR); }

std::int64_t TFileStream::Size()
{
    struct stat st;
    if (::fstat(fd_, &st) != 0)
        throw EInOutError(IOCodeFromErrno(errno));
    return st.st_size;
}

void TFileStream::Close()
{
    if (fd_ < 0)
        return;
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR)
        throw EInOutError(IOCodeFromErrno(errno));
}
