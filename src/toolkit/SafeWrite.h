#pragma once
// Writing a file safely: a temporary file of the program's own that takes
// its place only when whole, the clean-up of those a kill left, and the
// replacing write of a small file that never damages the old one.
#include <QByteArray>
#include <QList>
#include <QString>

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
