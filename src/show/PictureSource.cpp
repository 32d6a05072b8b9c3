#include "show/PictureSource.h"

#include "project/Project.h"
#include "toolkit/Files.h"
#include "toolkit/Graphics.h"

bool TFolderPictureSource::Exists(const QString& name)
{
    return ProjectPictureExists(name);
}

std::unique_ptr<TStream> TFolderPictureSource::Open(const QString& name)
{
    if (!IsPlainName(name))
        throw EInOutError(2);
    // Opened as it was found: a link put there meanwhile is not followed.
    return std::make_unique<THandleStream>(name, TFileStream::fmOpenRead, TFileStream::NoLinks);
}

namespace {
// A stream the source keeps, read from its position as a picture's bytes.
class OwnedStreamSource final : public ByteSource {
public:
    explicit OwnedStreamSource(std::unique_ptr<TStream> stream) : stream_(std::move(stream)), source_(*stream_) {}
    std::size_t read(void* buffer, std::size_t n) override { return source_.read(buffer, n); }
    void seek(std::uint64_t offset) override { source_.seek(offset); }
    std::uint64_t size() override { return source_.size(); }

private:
    std::unique_ptr<TStream> stream_;
    TStreamSource source_;
};
} // namespace

bool TSlotPictures::exists(int slot) { return source_.Exists(settings_.Slot(slot).Name()); }

std::unique_ptr<ByteSource> TSlotPictures::open(int slot)
{
    return std::make_unique<OwnedStreamSource>(source_.Open(settings_.Slot(slot).Name()));
}

PictureFormat TSlotPictures::format(int slot)
{
    return IsJpegName(settings_.Slot(slot).Name()) ? PictureFormat::Jpeg : PictureFormat::Bitmap;
}

bool IsJpegName(const QString& name)
{
    return ExtractFileExt(name).toUpper() == QLatin1String(".JPG");
}
