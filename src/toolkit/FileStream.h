#pragma once
// The file stream: a binary file opened once, by name, whose failures throw
// EInOutError, and the write of a whole buffer that says why it stopped.
#include "toolkit/Errors.h"

#include <QString>
#include <cstddef>
#include <cstdint>

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
