#include "decode/ByteSource.h"

#include <algorithm>
#include <cstring>

std::size_t MemorySource::read(void* buffer, std::size_t n)
{
    const std::size_t count = std::min(n, size_ - pos_);
    if (count)
        std::memcpy(buffer, data_ + pos_, count);
    pos_ += count;
    return count;
}

namespace {
constexpr std::size_t chunk = 64 * 1024;
}

BufferedReader::BufferedReader(ByteSource& source, std::uint64_t start, std::uint64_t limit)
    : source_(source), start_(start), limit_(limit)
{
    source_.seek(start_);
}

const std::uint8_t* BufferedReader::take(std::size_t n)
{
    if (end_ - begin_ < n) {
        if (n > limit_ - consumed_)
            return nullptr;
        // Keep the unread rest, then fill up to at least n bytes.
        if (begin_ > 0 && end_ > begin_)
            std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        const std::size_t want = std::size_t(std::min<std::uint64_t>(std::max(n, chunk), limit_ - fetched_ + end_));
        if (buffer_.size() < want)
            buffer_.resize(want);
        while (end_ < n) {
            const std::size_t got = source_.read(buffer_.data() + end_, want - end_);
            if (got == 0)
                return nullptr;
            end_ += got;
            fetched_ += got;
        }
    }
    const std::uint8_t* p = buffer_.data() + begin_;
    begin_ += n;
    consumed_ += n;
    return p;
}

void BufferedReader::settle()
{
    source_.seek(start_ + consumed_);
}
