#include "toolkit/SafeWrite.h"

#include "text/Temporaries.h"
#include "text/WriteInPlace.h"
#include "toolkit/Errors.h"
#include "toolkit/FileNames.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The file itself written, where no new file can be made beside it and
// where replacing it would lose what the user had: what it held is put
// back when the write fails, and said to be lost when even that fails.
void SaveInPlace(const QString& name, const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        throw EInOutError(IOCodeFromErrno(errno));
    // Far more than any project file: a larger one is no project of ours.
    InPlaceOutcome done = writeInPlace(fd, std::string_view(bytes.constData(), std::size_t(bytes.size())), 1 << 20);
    if (::close(fd) != 0 && !done.Error)
        done.Error = errno;
    const int code = IOCodeFromErrno(done.Error);
    if (done.Damaged)
        throw EInOutError(code, QStringLiteral("%1. %2 may be damaged: what it held could not be put back.")
                                    .arg(IOErrorText(code), DisplayPath(name)));
    if (done.Error)
        throw EInOutError(code);
}

const timespec ProgramStart = [] {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return now;
}();

// The random part of a temporary file's name: six letters or digits; or,
// before a suffix, as earlier versions named their copies, a process number,
// '-' and sixteen hexadecimal digits.
bool isTemporaryTail(const QString& tail, bool suffixed)
{
    const auto isAsciiAlnum = [](QChar c) { return c.unicode() < 128 && c.isLetterOrNumber(); };
    if (tail.size() == 6)
        return std::all_of(tail.begin(), tail.end(), isAsciiAlnum);
    const qsizetype dash = tail.indexOf(QLatin1Char('-'));
    const QStringView pid = QStringView(tail).left(dash), random = QStringView(tail).mid(dash + 1);
    return suffixed && dash > 0 && random.size() == 16
        && std::all_of(pid.begin(), pid.end(), [](QChar c) { return c.unicode() < 128 && c.isDigit(); })
        && std::all_of(random.begin(), random.end(), [](QChar c) { return c.unicode() < 128 && std::isxdigit(c.unicode()); });
}

mode_t NewFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}
} // namespace

TTemporaryFile::TTemporaryFile(const QString& prefix, const QString& suffix)
{
    const QByteArray end = NativePath(suffix);
    std::string pattern = (NativePath(prefix) + "XXXXXX" + end).toStdString();
    fd_ = makeLockedTemporary(pattern, int(end.size()));
    if (fd_ < 0)
        throw EInOutError(IOCodeFromErrno(errno));
    name_ = PathFromNative(QByteArray::fromStdString(pattern));
    ::fchmod(fd_, NewFileMode());
}

TTemporaryFile::~TTemporaryFile()
{
    if (!placed_)
        ::unlink(NativePath(name_).constData());
    ::close(fd_);
}

void RemoveStaleTemporaries(const QString& prefix, qint64 size, const QList<QByteArray>& heads, const QString& suffix)
{
    const QString folder = ExtractFilePath(prefix), start = ExtractFileName(prefix);
    const auto holdsOurs = [&](int fd, const struct stat& st) {
        // What a kill left: an empty file, or one that holds what this
        // program writes there. A user's own file of such a name does not.
        if (st.st_size == 0)
            return true;
        if (size >= 0 && st.st_size != size)
            return false;
        char first[64] = {};
        const ssize_t got = ::pread(fd, first, sizeof first, 0);
        const QByteArray head(first, int(std::max<ssize_t>(got, 0)));
        return heads.isEmpty() || std::any_of(heads.begin(), heads.end(), [&](const QByteArray& h) { return head.startsWith(h); });
    };
    for (const QString& entry : FolderEntries(folder)) {
        if (!entry.startsWith(start) || !entry.endsWith(suffix) || entry.size() <= start.size() + suffix.size())
            continue;
        if (isTemporaryTail(entry.mid(start.size(), entry.size() - start.size() - suffix.size()), !suffix.isEmpty()))
            removeLeftoverTemporary(NativePath(folder + entry).toStdString(), ProgramStart, holdsOurs);
    }
}

void WriteFileReplacing(const QString& name, const QByteArray& bytes)
{
    const QByteArray path = NativePath(FollowLinkOfSameKind(name));
    struct stat old;
    const bool exists = ::stat(path.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        throw EInOutError(IOCode::AccessDenied);
    if (exists) {
        // A file the user may not write is not replaced: writing it would fail.
        const int probe = ::open(path.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (probe < 0)
            throw EInOutError(IOCodeFromErrno(errno));
        ::close(probe);
    }

    const QString target = PathFromNative(path);
    std::unique_ptr<TTemporaryFile> temp;
    try {
        temp = std::make_unique<TTemporaryFile>(ExtractFilePath(target) + QLatin1Char('.') + ExtractFileName(target) + QLatin1Char('-'));
    } catch (const EInOutError& e) {
        // No new file can be made in the folder, but the file itself may be written.
        if (exists && e.ErrorCode == IOCode::AccessDenied)
            return SaveInPlace(name, path, bytes);
        throw;
    }
    // Written through a descriptor of its own, whose close reports what a
    // network file system could not write; the temporary's stays locked.
    const int fd = ::fcntl(temp->Handle(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        throw EInOutError(IOCodeFromErrno(errno));
    int err = 0;
    if (exists) {
        // The owner and group stay where the user may set them; a file that
        // would pass to another owner (or lose its other names) is written
        // where it is instead.
        if (::fchown(fd, old.st_uid, old.st_gid) != 0 && ::fchown(fd, uid_t(-1), old.st_gid) != 0) {
            // A group the user is not in: the file takes the folder's.
        }
        struct stat mine;
        const bool ownerKept = ::fstat(fd, &mine) == 0 && mine.st_uid == old.st_uid;
        if (!ownerKept || old.st_nlink > 1) {
            ::close(fd);
            temp.reset();
            return SaveInPlace(name, path, bytes);
        }
        // fchown clears the set-id bits; they come back with the mode.
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            err = errno;
    }
    if (!err)
        err = writeAtStart(fd, std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (!err && ::rename(NativePath(temp->Name()).constData(), path.constData()) != 0)
        err = errno;
    if (err)
        throw EInOutError(IOCodeFromErrno(err));
    temp->Placed();
}
