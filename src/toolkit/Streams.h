#pragma once
// Byte streams: a file or bytes in memory to load from and save to, and a
// stream as a decoder's byte source.
#include "decode/ByteSource.h"
#include "toolkit/Files.h"

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>

// A byte stream. Read and Write move the position and return short counts
// only at the end of the data (or when the medium is full); failures of the
// medium itself throw EInOutError.
class TStream {
public:
    virtual ~TStream() = default;
    virtual std::size_t Read(void* buffer, std::size_t n) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t n) = 0;
    virtual std::int64_t Seek(std::int64_t offset, int whence) = 0;   // SEEK_SET/CUR/END
    virtual std::int64_t Size() = 0;
    std::int64_t Position() { return Seek(0, SEEK_CUR); }
    void ReadBuffer(void* buffer, std::size_t n);          // exactly n or "Read beyond end of file"
    void WriteBuffer(const void* buffer, std::size_t n);   // exactly n or "Disk full"
};

// A file as a stream. Opens the file itself (names resolve case-insensitively,
// like every file of the program) or reads through one the caller has open.
class THandleStream : public TStream {
public:
    THandleStream(const QString& name, TFileStream::Mode mode, TFileStream::Links links = TFileStream::FollowLinks);
    explicit THandleStream(TFileStream& file);   // not owned
    std::size_t Read(void* buffer, std::size_t n) override;
    std::size_t Write(const void* buffer, std::size_t n) override;
    std::int64_t Seek(std::int64_t offset, int whence) override;
    std::int64_t Size() override;
    TFileStream& File() { return *file_; }
    void Close() { file_->Close(); }

private:
    std::unique_ptr<TFileStream> owned_;
    TFileStream* file_;
};

// Bytes in memory as a stream: either its own growable buffer, or a read-only
// view of bytes that the caller keeps alive (a range of a larger file).
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(QByteArray bytes);
    TMemoryStream(const void* data, std::size_t size);   // read-only view, not copied
    std::size_t Read(void* buffer, std::size_t n) override;
    std::size_t Write(const void* buffer, std::size_t n) override;   // 0 on a view
    std::int64_t Seek(std::int64_t offset, int whence) override;
    std::int64_t Size() override;
    // The whole content (a copy for a view).
    QByteArray Bytes() const;

private:
    QByteArray own_;
    const char* view_ = nullptr;
    std::size_t viewSize_ = 0;
    std::int64_t pos_ = 0;
    bool isView_ = false;
};

// A stream as a decoder's byte source; positions count from where the stream
// stood when the source was made. The stream's own errors pass through.
class TStreamSource final : public ByteSource {
public:
    explicit TStreamSource(TStream& stream) : stream_(stream), origin_(stream.Position()) {}
    std::size_t read(void* buffer, std::size_t n) override { return stream_.Read(buffer, n); }
    void seek(std::uint64_t offset) override;
    std::uint64_t size() override;

private:
    TStream& stream_;
    std::int64_t origin_;
};

// The same over a stream it keeps.
class TOwnedStreamSource final : public ByteSource {
public:
    explicit TOwnedStreamSource(std::unique_ptr<TStream> stream) : stream_(std::move(stream)), source_(*stream_) {}
    std::size_t read(void* buffer, std::size_t n) override { return source_.read(buffer, n); }
    void seek(std::uint64_t offset) override { source_.seek(offset); }
    std::uint64_t size() override { return source_.size(); }

private:
    std::unique_ptr<TStream> stream_;
    TStreamSource source_;
};
