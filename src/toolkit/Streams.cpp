#include "toolkit/Streams.h"

#include <algorithm>
#include <cstring>

void TStream::ReadBuffer(void* buffer, std::size_t n)
{
    if (Read(buffer, n) != n)
        throw EInOutError(IOCode::ReadBeyondEnd);
}

void TStream::WriteBuffer(const void* buffer, std::size_t n)
{
    if (Write(buffer, n) != n)
        throw EInOutError(IOCode::DiskFull);
}

THandleStream::THandleStream(const QString& name, TFileStream::Mode mode, TFileStream::Links links)
    : owned_(std::make_unique<TFileStream>(name, mode, links)), file_(owned_.get())
{
}

THandleStream::THandleStream(TFileStream& file) : file_(&file) {}

std::size_t THandleStream::Read(void* buffer, std::size_t n) { return file_->Read(buffer, n); }
std::size_t THandleStream::Write(const void* buffer, std::size_t n) { return file_->Write(buffer, n); }
std::int64_t THandleStream::Seek(std::int64_t offset, int whence) { return file_->Seek(offset, whence); }
std::int64_t THandleStream::Size() { return file_->Size(); }

TMemoryStream::TMemoryStream(QByteArray bytes) : own_(std::move(bytes)) {}

TMemoryStream::TMemoryStream(const void* data, std::size_t size)
    : view_(static_cast<const char*>(data)), viewSize_(size), isView_(true)
{
}

std::int64_t TMemoryStream::Size()
{
    return isView_ ? std::int64_t(viewSize_) : std::int64_t(own_.size());
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t n)
{
    const std::int64_t size = Size();
    if (pos_ >= size || n == 0)
        return 0;
    const std::size_t count = std::min<std::size_t>(n, std::size_t(size - pos_));
    std::memcpy(buffer, (isView_ ? view_ : own_.constData()) + pos_, count);
    pos_ += std::int64_t(count);
    return count;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t n)
{
    if (isView_ || n == 0)
        return 0;
    const std::int64_t end = pos_ + std::int64_t(n);
    if (end > own_.size())
        own_.resize(qsizetype(end));   // a gap left by a seek past the end reads as zeros
    std::memcpy(own_.data() + pos_, buffer, n);
    pos_ = end;
    return n;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, int whence)
{
    std::int64_t base = 0;
    if (whence == SEEK_CUR)
        base = pos_;
    else if (whence == SEEK_END)
        base = Size();
    const std::int64_t target = base + offset;
    if (target < 0)
        throw EInOutError(IOCode::NegativeSeek);
    if (isView_ && target > Size())
        pos_ = Size();
    else {
        if (!isView_ && target > own_.size()) {
            const qsizetype old = own_.size();
            own_.resize(qsizetype(target));
            std::memset(own_.data() + old, 0, std::size_t(target - old));
        }
        pos_ = target;
    }
    return pos_;
}

QByteArray TMemoryStream::Bytes() const
{
    return isView_ ? QByteArray(view_, qsizetype(viewSize_)) : own_;
}

void TStreamSource::seek(std::uint64_t offset)
{
    const std::int64_t end = stream_.Size();
    const std::uint64_t room = end > origin_ ? std::uint64_t(end - origin_) : 0;
    stream_.Seek(origin_ + std::int64_t(std::min(offset, room)), SEEK_SET);
}

std::uint64_t TStreamSource::size()
{
    const std::int64_t end = stream_.Size();
    return end > origin_ ? std::uint64_t(end - origin_) : 0;
}
