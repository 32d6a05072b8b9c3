#include "toolkit/Files.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

EGlimmerError::EGlimmerError(const QString& text) : std::runtime_error(text.toStdString()) {}

EInOutError::EInOutError(int code) : EGlimmerError(IOErrorText(code)), ErrorCode(code) {}

QString IOErrorText(int code)
{
    switch (code) {
    case 2: return QStringLiteral("File not found");
    case 3: return QStringLiteral("Invalid filename");
    case 4: return QStringLiteral("Too many open files");
    case 5: return QStringLiteral("File access denied");
    case 100: return QStringLiteral("Read beyond end of file");
    case 101: return QStringLiteral("Disk full");
    default: return QStringLiteral("I/O error %1").arg(code);
    }
}

int IOCodeFromErrno(int err)
{
    switch (err) {
    case ENOENT: return 2;
    case ENAMETOOLONG: case EINVAL: case ENOTDIR: case EILSEQ: return 3;
    case EMFILE: case ENFILE: return 4;
    case EACCES: case EPERM: case EROFS: case EISDIR: case ETXTBSY: return 5;
    case ENOSPC: case EDQUOT: case EFBIG: return 101;
    // A device error is not a denied file: it keeps a number of its own.
    case EIO: return 1117;
    // Other system numbers must not pass for one of the old ones.
    default: return err < 1000 ? 1000 + err : err;
    }
}

QString IncludeTrailingPathDelimiter(const QString& folder)
{
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString ExtractFilePath(const QString& name)
{
    return name.left(name.lastIndexOf(QLatin1Char('/')) + 1);
}

QString ExtractFileName(const QString& name)
{
    return name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
}

static int extensionStart(const QString& name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || name.indexOf(QLatin1Char('/'), dot) >= 0)
        return -1;
    return dot;
}

QString ExtractFileExt(const QString& name)
{
    const int dot = extensionStart(name);
    return dot < 0 ? QString() : name.mid(dot);
}

QString ChangeFileExt(const QString& name, const QString& ext)
{
    const int dot = extensionStart(name);
    return (dot < 0 ? name : name.left(dot)) + ext;
}

static QByteArray native(const QString& name) { return QFile::encodeName(name); }

QString ResolveName(const QString& name)
{
    if (name.isEmpty())
        return name;
    struct stat st;
    if (::lstat(native(name).constData(), &st) == 0)
        return name;
    const QString folder = ExtractFilePath(name);
    const QString base = ExtractFileName(name);
    if (base.isEmpty() || base == QLatin1String(".") || base == QLatin1String(".."))
        return name;
    QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QFileInfoList entries = dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QString other;
    for (const QFileInfo& e : entries) {
        if (e.fileName().compare(base, Qt::CaseInsensitive) != 0)
            continue;
        if (e.isFile())
            return folder + e.fileName();
        if (other.isEmpty())
            other = folder + e.fileName();
    }
    return other.isEmpty() ? name : other;
}

// A zero character ends the name the system sees: "A.BMP" + '\0' + "X"
// would open A.BMP. Such a name (a damaged project file's) names no file.
static bool holdsZero(const QString& name) { return name.contains(QChar(0)); }

bool FileExists(const QString& name)
{
    if (name.isEmpty() || holdsZero(name))
        return false;
    struct stat st;
    return ::stat(native(ResolveName(name)).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const QString& name)
{
    struct stat st;
    return !name.isEmpty() && ::stat(native(ResolveName(name)).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const QString& name)
{
    QString n = name;
    while (n.size() > 1 && n.endsWith(QLatin1Char('/')))
        n.chop(1);
    return !n.isEmpty() && ::mkdir(native(n).constData(), 0777) == 0;
}

bool SetCurrentDir(const QString& folder)
{
    return !folder.isEmpty() && ::chdir(native(ResolveName(folder)).constData()) == 0;
}

QString GetCurrentDir()
{
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd)
        return QStringLiteral("/");
    const QString result = QFile::decodeName(cwd);
    std::free(cwd);
    return IncludeTrailingPathDelimiter(result);
}

bool DeleteFile(const QString& name)
{
    return FileExists(name) && ::unlink(native(ResolveName(name)).constData()) == 0;
}

bool RenameFile(const QString& from, const QString& to)
{
    return ::rename(native(from).constData(), native(ResolveName(to)).constData()) == 0;
}

qint64 FileSizeOf(const QString& name)
{
    struct stat st;
    if (::stat(native(ResolveName(name)).constData(), &st) != 0)
        return -1;
    return st.st_size;
}

namespace {

// Writes all of `bytes` to `fd`; returns 0 or the errno of the failure.
int WriteAllTo(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        done += n;
    }
    return 0;
}

// The old way: the file itself truncated and written. Used where no new file
// can be made beside it, and where replacing it would lose what the user had.
void WriteInPlace(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        throw EInOutError(IOCodeFromErrno(errno));
    int err = WriteAllTo(fd, bytes);
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (err)
        throw EInOutError(IOCodeFromErrno(err));
}

} // namespace

QString FollowLinkOfSameKind(const QString& name)
{
    const QString resolved = ResolveName(name);
    const QByteArray path = native(resolved);
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return resolved;
    char* real = ::realpath(path.constData(), nullptr);
    const QString target = real ? QFile::decodeName(real) : QString();
    std::free(real);
    if (target.isEmpty() || ::stat(native(target).constData(), &st) != 0 || !S_ISREG(st.st_mode)
        || ExtractFileExt(target).compare(ExtractFileExt(name), Qt::CaseInsensitive) != 0)
        throw EInOutError(5);
    return target;
}

void WriteFileReplacing(const QString& name, const QByteArray& bytes)
{
    const QByteArray path = native(FollowLinkOfSameKind(name));
    struct stat old;
    const bool exists = ::stat(path.constData(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode))
        throw EInOutError(5);
    if (exists) {
        // A file the user may not write is not replaced: writing it would fail.
        const int probe = ::open(path.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (probe < 0)
            throw EInOutError(IOCodeFromErrno(errno));
        ::close(probe);
    }

    const QByteArray folder = native(ExtractFilePath(QFile::decodeName(path)));
    QByteArray pattern = folder + '.' + native(ExtractFileName(QFile::decodeName(path))) + "-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        const int err = errno;
        // No new file can be made in the folder, but the file itself may be written.
        if (exists && (err == EACCES || err == EPERM || err == EROFS))
            return WriteInPlace(path, bytes);
        throw EInOutError(IOCodeFromErrno(err));
    }
    int err = 0;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd, exists ? (old.st_mode & 07777) : (0666 & ~mask)) != 0)
        err = errno;
    if (exists && !err) {
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
            ::unlink(pattern.constData());
            return WriteInPlace(path, bytes);
        }
        // fchown clears the set-id bits; they come back with the mode.
        if (::fchmod(fd, old.st_mode & 07777) != 0)
            err = errno;
    }
    if (!err)
        err = WriteAllTo(fd, bytes);
    if (!err && ::fsync(fd) != 0)
        err = errno;
    if (::close(fd) != 0 && !err)
        err = errno;
    if (!err && ::rename(pattern.constData(), path.constData()) != 0)
        err = errno;
    if (err) {
        ::unlink(pattern.constData());
        throw EInOutError(IOCodeFromErrno(err));
    }
}

TFileStream::TFileStream(const QString& name, Mode mode) : FileName_(ResolveName(name))
{
    int flags = O_CLOEXEC;
    switch (mode) {
    case fmOpenRead: flags |= O_RDONLY; break;
    case fmOpenWrite: flags |= O_WRONLY; break;
    case fmOpenReadWrite: flags |= O_RDWR; break;
    case fmCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    if (name.isEmpty())
        throw EInOutError(2);
    if (holdsZero(name))
        throw EInOutError(3);
    do {
        fd_ = ::open(native(FileName_).constData(), flags, 0666);
    } while (fd_ < 0 && errno == EINTR);
    if (fd_ < 0)
        throw EInOutError(IOCodeFromErrno(errno));
    struct stat st;
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw EInOutError(5);
    }
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
        throw EInOutError(100);
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

void TFileStream::WriteBuffer(const void* buffer, std::size_t n)
{
    if (Write(buffer, n) != n)
        throw EInOutError(101);
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
