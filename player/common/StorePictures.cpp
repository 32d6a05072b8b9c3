#include "common/StorePictures.h"

#include <cctype>
#include <stdexcept>

#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace player {

PictureFormat pictureFormatOf(const std::string& name)
{
    // The extension is what follows the last '.', folders aside.
    const std::size_t dot = name.find_last_of("./\\:");
    if (dot == std::string::npos || name[dot] != '.')
        return PictureFormat::Bitmap;
    std::string ext = name.substr(dot);
    for (char& c : ext)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return ext == ".JPG" ? PictureFormat::Jpeg : PictureFormat::Bitmap;
}

std::string missingPictureText(const std::string& name) { return missingGraphicText(printableName(name)); }

std::string undecodablePictureText(const std::string& name, const std::string& why)
{
    return "The picture " + printableName(name) + " cannot be shown: " + why + ".";
}

namespace {
// A picture's bytes in the mapped file; its whole pages go back to the file
// when the decoder is done, so that ten photos read once do not stay in the
// player's memory.
class StoreBytes final : public ByteSource {
public:
    StoreBytes(const std::uint8_t* data, std::size_t size) : data_(data), bytes_(data, size) {}
    ~StoreBytes() override
    {
#ifndef _WIN32
        const std::uintptr_t page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
        const std::uintptr_t begin = (std::uintptr_t(data_) + page - 1) / page * page;
        const std::uintptr_t end = (std::uintptr_t(data_) + bytes_.size()) / page * page;
        // The mapping is read-only and private: a page read again comes back
        // from the file as it was.
        if (end > begin)
            ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
#endif
    }
    std::size_t read(void* buffer, std::size_t n) override { return bytes_.read(buffer, n); }
    void seek(std::uint64_t offset) override { bytes_.seek(offset); }
    std::uint64_t size() override { return bytes_.size(); }

private:
    const std::uint8_t* data_;
    MemorySource bytes_;
};
} // namespace

bool StorePictures::exists(int slot)
{
    if (slot < 1 || slot > store_.settings.ImageCount)
        return false;
    const ImageEntry& e = store_.settings.Slot(slot);
    return e.NameLength > 0 && e.Offset >= SaverSettingsSize && e.Size >= 0 && std::uint64_t(e.Offset) <= store_.size &&
           std::uint64_t(e.Size) <= store_.size - std::uint64_t(e.Offset);
}

std::unique_ptr<ByteSource> StorePictures::open(int slot)
{
    if (!exists(slot))
        throw std::runtime_error(missingPictureText(slot >= 1 && slot <= MaxImages ? store_.settings.Slot(slot).Name() : ""));
    if (!fromMappedFile_)
        return std::make_unique<MemorySource>(store_.pictureData(slot), std::size_t(store_.pictureSize(slot)));
    return std::make_unique<StoreBytes>(store_.pictureData(slot), std::size_t(store_.pictureSize(slot)));
}

PictureFormat StorePictures::format(int slot)
{
    if (slot < 1 || slot > store_.settings.ImageCount)
        return PictureFormat::Bitmap;
    return pictureFormatOf(store_.settings.Slot(slot).Name());
}

} // namespace player
