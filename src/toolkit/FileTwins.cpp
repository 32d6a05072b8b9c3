#include "toolkit/FileTwins.h"

#include "toolkit/FileCopy.h"
#include "toolkit/Files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t BlockSize = 65536;

std::unique_ptr<TFileStream> OpenPlain(const QString& name)
{
    try {
        return std::make_unique<TFileStream>(name, TFileStream::fmOpenRead, TFileStream::NoLinks);
    } catch (const EInOutError&) {
        return nullptr;
    }
}

bool Identity(int fd, struct stat& st) { return ::fstat(fd, &st) == 0; }

} // namespace

void MakeTwin(TFileStream& source, const QString& newName)
{
    // The link is made to what the descriptor holds, not to what the name
    // leads to by now.
    const QByteArray held = "/proc/self/fd/" + QByteArray::number(source.Handle());
    if (::linkat(AT_FDCWD, held.constData(), AT_FDCWD, NativePath(newName).constData(), AT_SYMLINK_FOLLOW) == 0)
        return;
    if (errno == EEXIST)
        throw EInOutError(IOCodeFromErrno(errno));
    // No hard link here (another file system's rules, or a file of another
    // owner under protected hard links): a copy of the same bytes.
    auto out = std::make_unique<TFileStream>(newName, TFileStream::fmCreateNew);
    const QByteArray created = NativePath(out->FileName());
    try {
        source.Seek(0, SEEK_SET);
        if (const CopyOutcome copy = CopyFileRange(source.Handle(), out->Handle()); !copy.copied())
            throwCopyFailure(copy);
        out->Close();
    } catch (...) {
        out.reset();
        ::unlink(created.constData());
        throw;
    }
}

bool SameFileContents(TFileStream& a, const QString& b)
{
    const std::unique_ptr<TFileStream> other = OpenPlain(b);
    struct stat sa, sb;
    if (!other || !Identity(a.Handle(), sa) || !Identity(other->Handle(), sb) || sa.st_size != sb.st_size)
        return false;
    if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)
        return true;
    try {
        a.Seek(0, SEEK_SET);
        std::vector<char> ba(BlockSize), bb(BlockSize);
        for (;;) {
            const std::size_t na = a.Read(ba.data(), ba.size()), nb = other->Read(bb.data(), bb.size());
            if (na != nb || std::memcmp(ba.data(), bb.data(), na) != 0)
                return false;
            if (na < BlockSize)
                return true;
        }
    } catch (const EInOutError&) {
        return false;   // what cannot be read holds no picture of ours
    }
}

bool SameFileContents(const QString& a, const QString& b)
{
    const std::unique_ptr<TFileStream> first = OpenPlain(a);
    return first && SameFileContents(*first, b);
}
