#include "PictureViews.h"

#include <windows.h>

namespace player {
namespace {

// A picture's bytes in a view of their own, unmapped when they go.
class ViewBytes final : public ByteSource {
public:
    ViewBytes(void* view, std::size_t skip, std::size_t size)
        : view_(view), bytes_(static_cast<const std::uint8_t*>(view) + skip, size)
    {
    }
    ~ViewBytes() override { UnmapViewOfFile(view_); }
    ViewBytes(const ViewBytes&) = delete;
    ViewBytes& operator=(const ViewBytes&) = delete;
    std::size_t read(void* buffer, std::size_t n) override { return bytes_.read(buffer, n); }
    void seek(std::uint64_t offset) override { bytes_.seek(offset); }
    std::uint64_t size() override { return bytes_.size(); }

private:
    void* view_;
    MemorySource bytes_;
};

} // namespace

std::unique_ptr<ByteSource> PictureViews::open(int slot)
{
    const StoreView& store = pictures_.store();
    if (!exists(slot) || store.pictureSize(slot) == 0 || !file_.mapping())
        return pictures_.open(slot);
    // A view begins at a multiple of the allocation granularity.
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::uint64_t offset = std::uint64_t(store.pictureData(slot) - file_.data());
    const std::uint64_t begin = offset / system.dwAllocationGranularity * system.dwAllocationGranularity;
    const std::size_t skip = std::size_t(offset - begin), size = std::size_t(store.pictureSize(slot));
    void* view = MapViewOfFile(file_.mapping(), FILE_MAP_READ, DWORD(begin >> 32), DWORD(begin), skip + size);
    if (!view)
        return pictures_.open(slot);
    return std::make_unique<ViewBytes>(view, skip, size);
}

} // namespace player
