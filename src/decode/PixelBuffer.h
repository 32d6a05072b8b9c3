#pragma once
// A decoded picture as plain memory: width x height pixels of 32 bits, each
// 0xFFRRGGBB in a uint32 (in memory the layout of QImage::Format_RGB32), rows
// of exactly 4 x width bytes. It owns its memory and is moved, never copied.
#include <cstddef>
#include <cstdint>

class PixelBuffer {
public:
    PixelBuffer() = default;
    // Pixels of undefined content. Throws DecodeError when the memory cannot
    // be had; width and height must be at least 1.
    static PixelBuffer allocate(int width, int height);

    PixelBuffer(PixelBuffer&& other) noexcept;
    PixelBuffer& operator=(PixelBuffer&& other) noexcept;
    PixelBuffer(const PixelBuffer&) = delete;
    PixelBuffer& operator=(const PixelBuffer&) = delete;
    ~PixelBuffer();

    bool empty() const { return pixels_ == nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }
    std::size_t stride() const { return std::size_t(width_) * 4; }
    std::size_t sizeInBytes() const { return stride() * std::size_t(height_); }
    std::uint32_t* row(int y) { return pixels_ + std::size_t(y) * std::size_t(width_); }
    const std::uint32_t* row(int y) const { return pixels_ + std::size_t(y) * std::size_t(width_); }

    // Gives the memory away (to a QImage, say): the pixels stay valid until
    // freeReleased(token) is called, exactly once. The buffer is empty after.
    struct Released {
        std::uint32_t* pixels;
        void* token;
    };
    Released release();
    static void freeReleased(void* token);

private:
    void* block_ = nullptr;   // the memory's owner record, opaque here
    std::uint32_t* pixels_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// A freed picture leaves its memory for the next one of much the same size
// (the show decodes one photo after another); this gives it back at once.
void releaseSparePixelMemory();
