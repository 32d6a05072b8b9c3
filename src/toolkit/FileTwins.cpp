#include "toolkit/FileTwins.h"

#include "toolkit/Files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

QByteArray native(const QString& name) { return NativePath(name); }

bool plainFile(const QString& name, struct stat& st)
{
    return ::lstat(native(name).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Opens an ordinary file for reading: no link followed, no wait on a pipe
// or device put in its place meanwhile.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const QString& name)
    {
        fd_ = ::open(native(name).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        struct stat st;
        if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~ReadOnlyFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    bool IsOpen() const { return fd_ >= 0; }
    // Fills `buffer` as far as the file goes; -1 on a read error.
    ssize_t Fill(std::vector<char>& buffer)
    {
        std::size_t done = 0;
        while (done < buffer.size()) {
            const ssize_t n = ::read(fd_, buffer.data() + done, buffer.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return -1;
            if (n == 0)
                break;
            done += std::size_t(n);
        }
        return ssize_t(done);
    }

private:
    int fd_ = -1;
};

} // namespace

bool LinkFile(const QString& existing, const QString& newName)
{
    return ::link(native(existing).constData(), native(newName).constData()) == 0;
}

bool SameFileContents(const QString& a, const QString& b)
{
    struct stat sa, sb;
    if (!plainFile(a, sa) || !plainFile(b, sb) || sa.st_size != sb.st_size)
        return false;
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)
        return true;
    ReadOnlyFile fa(a), fb(b);
    if (!fa.IsOpen() || !fb.IsOpen())
        return false;
    constexpr std::size_t BlockSize = 65536;
    std::vector<char> ba(BlockSize), bb(BlockSize);
    for (;;) {
        const ssize_t na = fa.Fill(ba), nb = fb.Fill(bb);
        if (na < 0 || na != nb || std::memcmp(ba.data(), bb.data(), std::size_t(na)) != 0)
            return false;
        if (std::size_t(na) < BlockSize)
            return true;
    }
}
