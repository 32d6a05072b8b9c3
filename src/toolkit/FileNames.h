#pragma once
// Names and paths as the program sees them: bare names resolved against the
// current folder, case-insensitively where the exact name is missing; file
// names as the bytes the system gives; what a name stands for.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>

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

// A zero character ends the name the system sees: "A.BMP" + '\0' + "X"
// would open A.BMP. Such a name (a damaged project file's) names no file.
bool holdsZero(const QString& name);

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
