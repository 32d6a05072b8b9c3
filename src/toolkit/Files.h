#pragma once
// Files as the program sees them: bare names resolved against the current
// folder, errors carrying the old numeric codes so that the messages users see
// stay the same whatever the platform says.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

// An error that ends the current command; shown by the standard error report.
class EGlimmerError : public std::runtime_error {
public:
    explicit EGlimmerError(const QString& text);
    // The whole text: what() ends at a zero character that a name from a
    // damaged file may hold.
    QString Text() const { return text_; }

private:
    QString text_;
};

// A message from beneath the program (the system's, a decoder's, the
// standard library's; all UTF-8 here) as the text a message box shows: the
// one way such a message becomes text.
QString MessageText(std::string_view message);

// The old error numbers, which a failed file operation carries and its text
// is made from (IOErrorText); any other number reads "I/O error %d".
namespace IOCode {
inline constexpr int FileNotFound = 2;        // "File not found"
inline constexpr int InvalidFilename = 3;     // "Invalid filename"
inline constexpr int TooManyOpenFiles = 4;    // "Too many open files"
inline constexpr int AccessDenied = 5;        // "File access denied"
inline constexpr int ReadBeyondEnd = 100;     // "Read beyond end of file"
inline constexpr int DiskFull = 101;          // "Disk full": no room, of any kind
inline constexpr int NegativeSeek = 131;      // the old "negative seek offset"
// A device error is not a denied file: it keeps a number of its own.
inline constexpr int DeviceError = 1117;
} // namespace IOCode

// A failed file operation with its old error number (IOCode).
class EInOutError : public EGlimmerError {
public:
    explicit EInOutError(int code);
    // The same failure told in more words.
    EInOutError(int code, const QString& text);
    int ErrorCode;
};

QString IOErrorText(int code);
// Maps an errno value to the old error numbers.
int IOCodeFromErrno(int err);

// How a write or a copy ended: whole, or cut short for want of room (the
// disk, the user's quota, the largest file the process may write) or by
// another error.
enum class CopyCause { Copied, DiskFull, Quota, FileTooLarge, OtherError };

struct CopyOutcome {
    CopyCause cause = CopyCause::Copied;
    int error = 0;   // the system's error number (errno) of every other cause
    bool copied() const { return cause == CopyCause::Copied; }
};

// The outcome of a write that failed with the system's error number `err`.
CopyOutcome copyOutcomeOf(int err);

// Why a write or a copy was cut short, in the words of the old error texts:
// "Disk full", "Disk quota exceeded", "File too large", or the text of the
// error's old number (IOErrorText). The one text of each cause, wherever it
// is told.
QString copyFailureText(const CopyOutcome& outcome);

// EInOutError for a write or a copy cut short: its old number (DiskFull for
// want of room of any kind) with copyFailureText.
[[noreturn]] void throwCopyFailure(const CopyOutcome& outcome);

// File names are the bytes the system gives. Bytes that are not UTF-8 (a
// folder named on another system) are kept one for one, each as a character
// no decoded text holds, so that any folder can be entered, named and left
// again. DisplayPath shows them as U+FFFD.
QString PathFromNative(const QByteArray& bytes);
QByteArray NativePath(const QString& path);
QString DisplayPath(const QString& path);

// The names in a folder (no "." or ".."), unsorted; empty when it cannot be read.
QStringList FolderEntries(const QString& folder);

// Path helpers. The folder separator is '/'; folders carried by the program
// end with one.
QString IncludeTrailingPathDelimiter(const QString& folder);
QString ExtractFilePath(const QString& name);   // up to and including the last '/'
QString ExtractFileName(const QString& name);   // after the last '/'
QString ExtractFileExt(const QString& name);    // from the last '.' not followed by '/'
QString ChangeFileExt(const QString& name, const QString& ext);

// The name on disk that `name` stands for: the exact name when it exists,
// otherwise an entry of its folder whose name differs only in letter case
// (ordinary files preferred), otherwise `name` unchanged.
QString ResolveName(const QString& name);

bool FileExists(const QString& name);        // an ordinary file; a folder does not count
// An ordinary file that is no link either: what a name in a folder from a
// stranger may be taken for.
bool PlainFileExists(const QString& name);
bool DirectoryExists(const QString& name);
bool CreateDir(const QString& name);         // one level
bool SetCurrentDir(const QString& folder);
QString GetCurrentDir();                     // full path, ending in '/'
bool DeleteFile(const QString& name);
bool RenameFile(const QString& from, const QString& to);   // replaces `to` atomically
qint64 FileSizeOf(const QString& name);      // -1 when it cannot be read

// The file that `name` stands for, a link followed: a link is followed only
// to a regular file with the same extension in the link's own folder (one
// project file to another beside it); a link to anything else throws "File
// access denied", so that a folder from a stranger cannot have the program
// read or overwrite, say, a start-up script or another project of the user's
// through it.
QString FollowLinkOfSameKind(const QString& name);

// A new empty file of the program's own, `prefix` + six letters or digits +
// `suffix` (a prefix with a folder puts it there, else in the current
// folder), for building a file that takes its place only when whole. Its
// maker holds a lock on it while it lives, so that the next operation of its
// kind can tell one left by a kill from one being written. Removed when it
// goes, unless it has taken its place. Throws EInOutError.
class TTemporaryFile {
public:
    explicit TTemporaryFile(const QString& prefix, const QString& suffix = QString());
    ~TTemporaryFile();
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;
    const QString& Name() const { return name_; }
    // Open for reading and writing, with the mode a new file gets.
    int Handle() const { return fd_; }
    // Renamed to its place: nothing is removed when it goes.
    void Placed() { placed_ = true; }

private:
    QString name_;
    int fd_ = -1;
    bool placed_ = false;
};

// Removes this program's own leftovers, of operations that were killed
// before they could tidy up: ordinary files named as TTemporaryFile names
// them (`prefix`, six letters or digits, `suffix`), that no living program
// holds, and either empty or holding what the program writes there: `size`
// bytes when it is given, beginning with one of `heads` (each at most 64
// bytes) when they are given. Never anything else.
void RemoveStaleTemporaries(const QString& prefix, qint64 size = -1, const QList<QByteArray>& heads = {},
                            const QString& suffix = QString());

// Writes `bytes` to a new file beside `name` and renames it over `name` only
// when everything was written, so a failure never damages the old file. What
// the user had stays: a file they may not write is not replaced ("File
// access denied"), the mode, owner and group are kept, a link is written
// through (FollowLinkOfSameKind). Where no new file can be made beside it, or
// replacing it would change its owner or break its other hard links, the file
// is written in place. Throws EInOutError; on failure nothing but the old
// file remains (or, written in place, what was written so far).
void WriteFileReplacing(const QString& name, const QByteArray& bytes);

// A folder held open: it stays the same folder however it is renamed or
// moved, and tells whether its path still leads to it.
class TFolderHandle {
public:
    TFolderHandle() = default;
    explicit TFolderHandle(const QString& path);   // throws EInOutError
    bool IsOpen() const { return fd_ != nullptr; }
    // True when `path` still names this very folder, and it was not removed.
    bool IsAt(const QString& path) const;
    // Makes it the current folder, wherever it is now.
    bool Enter() const;

private:
    std::shared_ptr<const int> fd_;   // closed with the last copy
};

// Writes all `n` bytes at the position of the descriptor `to`, and says why
// it could not (it never throws).
[[nodiscard]] CopyOutcome writeAllBytes(int to, const void* bytes, std::size_t n);

// A binary file that throws EInOutError when an operation fails. Only an
// ordinary file is opened (a pipe or a device named like one would block or
// worse: "File access denied"), and opening never waits.
class TFileStream {
public:
    enum Mode {
        fmOpenRead,
        fmOpenWrite,
        fmOpenReadWrite,
        fmCreate,      // created, or an existing file truncated
        fmCreateNew,   // created; never an existing file, nor through a link
    };
    enum Links { FollowLinks, NoLinks };   // NoLinks: a link counts as no file
    TFileStream(const QString& name, Mode mode, Links links = FollowLinks);
    ~TFileStream();
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    // Reads up to n bytes; fewer only at the end of the file.
    std::size_t Read(void* buffer, std::size_t n);
    // Reads exactly n bytes or throws "Read beyond end of file".
    void ReadBuffer(void* buffer, std::size_t n);
    // Writes up to n bytes; returns fewer when the disk fills up.
    std::size_t Write(const void* buffer, std::size_t n);
    // Writes exactly n bytes or throws (throwCopyFailure: "Disk full" and the
    // other causes in their words).
    void WriteBuffer(const void* buffer, std::size_t n);
    std::int64_t Seek(std::int64_t offset, int whence);
    std::int64_t Position();
    std::int64_t Size();
    void Close();   // throws when the close reports an error
    const QString& FileName() const { return FileName_; }
    int Handle() const { return fd_; }

private:
    QString FileName_;
    int fd_ = -1;
};
