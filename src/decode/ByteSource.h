#pragma once
// Where a decoder reads a picture's bytes from: a file, a stream of the
// program, or bytes in memory (a range of the player's own file). Positions
// count from the picture's first byte. A source may throw from any call; the
// decoders let its exceptions through unchanged.
#include <cstddef>
#include <cstdint>
#include <vector>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to n bytes from the current position; fewer only at the end.
    virtual std::size_t read(void* buffer, std::size_t n) = 0;
    // Moves to `offset` bytes from the first byte (at most to the end).
    virtual void seek(std::uint64_t offset) = 0;
    // Bytes from the first byte to the end.
    virtual std::uint64_t size() = 0;
};

// Bytes that the caller keeps alive while the source is used.
class MemorySource final : public ByteSource {
public:
    MemorySource(const void* data, std::size_t size) : data_(static_cast<const std::uint8_t*>(data)), size_(size) {}
    std::size_t read(void* buffer, std::size_t n) override;
    void seek(std::uint64_t offset) override { pos_ = offset < size_ ? std::size_t(offset) : size_; }
    std::uint64_t size() override { return size_; }
    std::uint64_t position() const { return pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Reads a source front to back in large pieces and hands out small ranges
// of it, so that a decoder can ask for a few bytes at a time. Reads no more
// than `limit` bytes past where it starts.
class BufferedReader {
public:
    BufferedReader(ByteSource& source, std::uint64_t start, std::uint64_t limit);
    // The next n bytes, valid until the next call; nullptr when fewer remain.
    const std::uint8_t* take(std::size_t n);
    // Bytes handed out so far, from the start.
    std::uint64_t consumed() const { return consumed_; }
    // Puts the source right behind the bytes handed out.
    void settle();

private:
    ByteSource& source_;
    std::uint64_t start_;
    std::uint64_t limit_;
    std::uint64_t fetched_ = 0;    // bytes read from the source
    std::uint64_t consumed_ = 0;   // bytes handed out
    std::vector<std::uint8_t> buffer_;
    std::size_t begin_ = 0, end_ = 0;   // unread part of buffer_
};
