#include "toolkit/Files.h"

#include "text/Temporaries.h"
#include "text/WriteInPlace.h"

#include <QStringList>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <ctime>
#include <cstring>
#include <dirent.h>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

EGlimmerError::EGlimmerError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}

QString MessageText(std::string_view message) { return QString::fromUtf8(message.data(), qsizetype(message.size())); }

EInOutError::EInOutError(int code) : EGlimmerError(IOErrorText(code)), ErrorCode(code) {}

EInOutError::EInOutError(int code, const QString& text) : EGlimmerError(text), ErrorCode(code) {}

QString IOErrorText(int code)
{
    switch (code) {
    case IOCode::FileNotFound: return QStringLiteral("File not found");
    case IOCode::InvalidFilename: return QStringLiteral("Invalid filename");
    case IOCode::TooManyOpenFiles: return QStringLiteral("Too many open files");
    case IOCode::AccessDenied: return QStringLiteral("File access denied");
    case IOCode::ReadBeyondEnd: return QStringLiteral("Read beyond end of file");
    case IOCode::DiskFull: return QStringLiteral("Disk full");
    default: return QStringLiteral("I/O error %1").arg(code);
    }
}

int IOCodeFromErrno(int err)
{
    switch (err) {
    case ENOENT: return IOCode::FileNotFound;
    case ENAMETOOLONG: case EINVAL: case ENOTDIR: case EILSEQ: return IOCode::InvalidFilename;
    case EMFILE: case ENFILE: return IOCode::TooManyOpenFiles;
    // EEXIST: a file made new where something else, a folder say, has the name.
    case EACCES: case EPERM: case EROFS: case EISDIR: case ETXTBSY: case ENXIO: case EEXIST: return IOCode::AccessDenied;
    case ENOSPC: case EDQUOT: case EFBIG: return IOCode::DiskFull;
    case EIO: return IOCode::DeviceError;
    // Other system numbers must not pass for one of the old ones.
    default: return err < 1000 ? 1000 + err : err;
    }
}

CopyOutcome copyOutcomeOf(int err)
{
    switch (err) {
    case ENOSPC: return {CopyCause::DiskFull, err};
    case EDQUOT: return {CopyCause::Quota, err};
    case EFBIG: return {CopyCause::FileTooLarge, err};
    default: return {CopyCause::OtherError, err};
    }
}

QString copyFailureText(const CopyOutcome& outcome)
{
    switch (outcome.cause) {
    case CopyCause::DiskFull: return IOErrorText(IOCode::DiskFull);
    case CopyCause::Quota: return QStringLiteral("Disk quota exceeded");
    case CopyCause::FileTooLarge: return QStringLiteral("File too large");
    case CopyCause::Copied:
    case CopyCause::OtherError: break;
    }
    return IOErrorText(IOCodeFromErrno(outcome.error));
}

void throwCopyFailure(const CopyOutcome& outcome)
{
    throw EInOutError(IOCodeFromErrno(outcome.error), copyFailureText(outcome));
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

// ------------------------------------------------------------ names as bytes

namespace {

// Length of the well-formed UTF-8 sequence at p (at most n bytes), 0 if none.
int Utf8Sequence(const unsigned char* p, qsizetype n, char32_t& cp)
{
    const unsigned char b = p[0];
    int len;
    char32_t min;
    if (b < 0x80) {
        cp = b;
        return 1;
    } else if ((b & 0xE0) == 0xC0) {
        len = 2, min = 0x80, cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3, min = 0x800, cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, cp = b & 0x07;
    } else {
        return 0;
    }
    if (n < len)
        return 0;
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

// A byte that is not part of UTF-8 stands as a lone low surrogate, which no
// decoded text holds.
constexpr char16_t StrayByteBase = 0xDC00;

} // namespace

QString PathFromNative(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        char32_t cp = 0;
        const int len = Utf8Sequence(p + i, n - i, cp);
        if (len == 0) {
            out += QChar(char16_t(StrayByteBase + p[i]));
            ++i;
            continue;
        }
        if (cp > 0xFFFF) {
            out += QChar(QChar::highSurrogate(cp));
            out += QChar(QChar::lowSurrogate(cp));
        } else {
            out += QChar(char16_t(cp));
        }
        i += len;
    }
    return out;
}

QByteArray NativePath(const QString& path)
{
    QByteArray out;
    out.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path[i].unicode();
        char32_t cp = c;
        if (QChar::isHighSurrogate(c) && i + 1 < path.size() && QChar::isLowSurrogate(path[i + 1].unicode())) {
            cp = QChar::surrogateToUcs4(c, path[++i].unicode());
        } else if (c >= StrayByteBase + 0x80 && c <= StrayByteBase + 0xFF) {
            out += char(c - StrayByteBase);
            continue;
        } else if (QChar::isSurrogate(c)) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x800) {
            out += char(0xC0 | (cp >> 6));
            out += char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += char(0xE0 | (cp >> 12));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        } else {
            out += char(0xF0 | (cp >> 18));
            out += char(0x80 | ((cp >> 12) & 0x3F));
            out += char(0x80 | ((cp >> 6) & 0x3F));
            out += char(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

QString DisplayPath(const QString& path)
{
    QString shown = path;
    for (QChar& c : shown)
        if (c.unicode() >= StrayByteBase + 0x80 && c.unicode() <= StrayByteBase + 0xFF)
            c = QChar(QChar::ReplacementCharacter);
    return shown;
}

static QByteArray native(const QString& name) { return NativePath(name); }

QStringList FolderEntries(const QString& folder)
{
    QStringList names;
    DIR* dir = ::opendir(native(folder.isEmpty() ? QStringLiteral(".") : folder).constData());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names << PathFromNative(QByteArray(e->d_name));
    }
    ::closedir(dir);
    return names;
}

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
    QStringList matches;
    for (const QString& entry : FolderEntries(folder))
        if (entry.compare(base, Qt::CaseInsensitive) == 0)
            matches << entry;
    // The same choice every time: ordinary files first, then by name.
    matches.sort();
    QString other;
    for (const QString& entry : matches) {
        if (::lstat(native(folder + entry).constData(), &st) == 0 && S_ISREG(st.st_mode))
            return folder + entry;
        if (other.isEmpty())
            other = folder + entry;
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

bool PlainFileExists(const QString& name)
{
    if (name.isEmpty() || holdsZero(name))
        return false;
    struct stat st;
    return ::lstat(native(ResolveName(name)).constData(), &st) == 0 && S_ISREG(st.st_mode);
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
    // A current folder that is gone has no path: nothing must take it for "/".
    if (!cwd)
        return QString();
    const QString result = PathFromNative(QByteArray(cwd));
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

} // namespace

QString FollowLinkOfSameKind(const QString& name)
{
    const QString resolved = ResolveName(name);
    const QByteArray path = native(resolved);
    struct stat st;
    if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return resolved;
    char* real = ::realpath(path.constData(), nullptr);
    const QString target = real ? PathFromNative(QByteArray(real)) : QString();
    std::free(real);
    if (target.isEmpty() || ::stat(native(target).constData(), &st) != 0 || !S_ISREG(st.st_mode)
        || ExtractFileExt(target).compare(ExtractFileExt(name), Qt::CaseInsensitive) != 0)
        throw EInOutError(IOCode::AccessDenied);
    // Only to a file of the link's own folder: a folder from a stranger may
    // link to the user's other projects beside it, and a save would empty
    // their slots of pictures that are not here.
    struct stat linkFolder, targetFolder;
    if (::stat(native(ExtractFilePath(resolved) + QLatin1Char('.')).constData(), &linkFolder) != 0
        || ::stat(native(ExtractFilePath(target) + QLatin1Char('.')).constData(), &targetFolder) != 0
        || linkFolder.st_dev != targetFolder.st_dev || linkFolder.st_ino != targetFolder.st_ino)
        throw EInOutError(IOCode::AccessDenied);
    return target;
}

namespace {
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
    const QByteArray end = native(suffix);
    std::string pattern = (native(prefix) + "XXXXXX" + end).toStdString();
    fd_ = makeLockedTemporary(pattern, int(end.size()));
    if (fd_ < 0)
        throw EInOutError(IOCodeFromErrno(errno));
    name_ = PathFromNative(QByteArray::fromStdString(pattern));
    ::fchmod(fd_, NewFileMode());
}

TTemporaryFile::~TTemporaryFile()
{
    if (!placed_)
        ::unlink(native(name_).constData());
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
            removeLeftoverTemporary(native(folder + entry).toStdString(), ProgramStart, holdsOurs);
    }
}

void WriteFileReplacing(const QString& name, const QByteArray& bytes)
{
    const QByteArray path = native(FollowLinkOfSameKind(name));
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
    if (!err && ::rename(native(temp->Name()).constData(), path.constData()) != 0)
        err = errno;
    if (err)
        throw EInOutError(IOCodeFromErrno(err));
    temp->Placed();
}

TFolderHandle::TFolderHandle(const QString& path)
{
    int fd;
    do {
        fd = ::open(native(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw EInOutError(IOCodeFromErrno(errno));
    fd_ = std::shared_ptr<const int>(new int(fd), [](const int* p) {
        ::close(*p);
        delete p;
    });
}

bool TFolderHandle::IsAt(const QString& path) const
{
    struct stat held, named;
    return fd_ && ::fstat(*fd_, &held) == 0 && held.st_nlink > 0 && ::stat(native(path).constData(), &named) == 0
        && held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

bool TFolderHandle::Enter() const { return fd_ && ::fchdir(*fd_) == 0; }

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
        fd_ = ::open(native(FileName_).constData(), flags, 0666);
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
