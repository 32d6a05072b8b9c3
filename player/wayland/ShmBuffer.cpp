#include "wayland/ShmBuffer.h"

#include <algorithm>
#include <climits>
#include <sys/mman.h>
#include <unistd.h>

namespace wayland {

std::unique_ptr<ShmBuffer> ShmBuffer::make(wl_shm* shm, int width, int height)
{
    const std::size_t bytes = std::size_t(std::max(width, 1)) * std::size_t(std::max(height, 1)) * 4;
    // A pool's size is a 32-bit number.
    if (width <= 0 || height <= 0 || bytes > std::size_t(INT_MAX))
        return nullptr;
    const int fd = ::memfd_create("glimmer-scr", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    void* memory = MAP_FAILED;
    if (::ftruncate(fd, off_t(bytes)) == 0)
        memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<ShmBuffer> b(new ShmBuffer);
    b->pixels_ = static_cast<std::uint32_t*>(memory);
    b->bytes_ = bytes;
    b->width_ = width;
    b->height_ = height;
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, int(bytes));
    b->buffer_ = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_XRGB8888);
    // The buffer keeps the memory; the pool and the descriptor have done their part.
    wl_shm_pool_destroy(pool);
    ::close(fd);
    return b;
}

ShmBuffer::~ShmBuffer()
{
    if (buffer_)
        wl_buffer_destroy(buffer_);
    if (pixels_)
        ::munmap(pixels_, bytes_);
}

void ShmBuffer::fill(std::uint32_t pixel) { std::fill(pixels_, pixels_ + std::size_t(width_) * std::size_t(height_), pixel); }

} // namespace wayland
