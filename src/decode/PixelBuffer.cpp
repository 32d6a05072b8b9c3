#include "decode/PixelBuffer.h"

#include "decode/DecodeError.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <mutex>
#include <string>
#include <utility>

// Pixel memory comes straight from the system and goes back to one spare
// slot when its picture ends: faulting in and clearing the pages of a fresh
// block costs more than decoding into a used one. Pictures end on whichever
// thread let go of them last, hence the lock.

namespace {

struct Block {
    void* data;
    std::size_t size;
};

std::mutex spareLock;
Block* spare = nullptr;

// Fresh zeroed pages from the system, or nullptr.
void* mapPages(std::size_t bytes)
{
#ifdef _WIN32
    return ::VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
#else
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
#endif
}

void unmap(Block* b)
{
    if (b) {
#ifdef _WIN32
        ::VirtualFree(b->data, 0, MEM_RELEASE);
#else
        ::munmap(b->data, b->size);
#endif
        delete b;
    }
}

// Takes the spare block when it suits `bytes`; otherwise frees it, so that
// it is given back before more is taken, not after.
Block* takeSpare(std::size_t bytes)
{
    Block* old = nullptr;
    {
        std::lock_guard<std::mutex> lock(spareLock);
        old = std::exchange(spare, nullptr);
    }
    if (old && old->size >= bytes && old->size / 2 <= bytes)
        return old;
    unmap(old);
    return nullptr;
}

} // namespace

PixelBuffer PixelBuffer::allocate(int width, int height)
{
    const std::size_t bytes = std::size_t(width > 0 ? width : 0) * std::size_t(height > 0 ? height : 0) * 4;
    Block* block = bytes ? takeSpare(bytes) : nullptr;
    if (!block) {
        void* p = bytes ? mapPages(bytes) : nullptr;
        if (!p)
            throw DecodeError("Not enough memory for a picture of " + std::to_string(width) + " x " + std::to_string(height));
        block = new Block{p, bytes};
    }
    PixelBuffer b;
    b.block_ = block;
    b.pixels_ = static_cast<std::uint32_t*>(block->data);
    b.width_ = width;
    b.height_ = height;
    return b;
}

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)), pixels_(std::exchange(other.pixels_, nullptr)),
      width_(std::exchange(other.width_, 0)), height_(std::exchange(other.height_, 0))
{
}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept
{
    if (this != &other) {
        freeReleased(block_);
        block_ = std::exchange(other.block_, nullptr);
        pixels_ = std::exchange(other.pixels_, nullptr);
        width_ = std::exchange(other.width_, 0);
        height_ = std::exchange(other.height_, 0);
    }
    return *this;
}

PixelBuffer::~PixelBuffer() { freeReleased(block_); }

PixelBuffer::Released PixelBuffer::release()
{
    Released r{pixels_, block_};
    block_ = nullptr;
    pixels_ = nullptr;
    width_ = height_ = 0;
    return r;
}

void PixelBuffer::freeReleased(void* token)
{
    if (!token)
        return;
    Block* old = nullptr;
    {
        std::lock_guard<std::mutex> lock(spareLock);
        old = std::exchange(spare, static_cast<Block*>(token));
    }
    unmap(old);
}

void releaseSparePixelMemory()
{
    Block* old = nullptr;
    {
        std::lock_guard<std::mutex> lock(spareLock);
        old = std::exchange(spare, nullptr);
    }
    unmap(old);
}
