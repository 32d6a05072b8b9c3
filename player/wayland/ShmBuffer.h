#pragma once
// Pixels in memory shared with the compositor (wl_shm, XRGB8888: the
// decoders' 0xFFRRGGBB as it stands), written by the player before the
// compositor ever sees them, and never again: the compositor keeps its own
// hold on the memory for as long as it shows them, so a buffer may go as
// soon as another has taken its place.
#include "wayland/Protocols.h"

#include <cstdint>
#include <memory>

namespace wayland {

class ShmBuffer {
public:
    // Null when the memory cannot be had.
    static std::unique_ptr<ShmBuffer> make(wl_shm* shm, int width, int height);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    wl_buffer* proxy() const { return buffer_; }
    int width() const { return width_; }
    int height() const { return height_; }
    std::uint32_t* row(int y) { return pixels_ + std::size_t(y) * std::size_t(width_); }
    void fill(std::uint32_t pixel);

private:
    ShmBuffer() = default;
    wl_buffer* buffer_ = nullptr;
    std::uint32_t* pixels_ = nullptr;
    std::size_t bytes_ = 0;
    int width_ = 0, height_ = 0;
};

} // namespace wayland
