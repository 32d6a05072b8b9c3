#include "toolkit/FileNames.h"

#include "toolkit/Errors.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool holdsZero(const QString& name) { return name.contains(QChar(0)); }

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
