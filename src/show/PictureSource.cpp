#include "show/PictureSource.h"

#include "project/Project.h"
#include "toolkit/Files.h"
#include "toolkit/Graphics.h"

bool TFolderPictureSource::Exists(const QString& name)
{
    return projectPictureExists(name);
}

std::unique_ptr<TStream> TFolderPictureSource::Open(const QString& name)
{
    if (!isPlainName(name))
        throw EInOutError(IOCode::FileNotFound);
    // Opened as it was found: a link put there meanwhile is not followed.
    return std::make_unique<THandleStream>(name, TFileStream::fmOpenRead, TFileStream::NoLinks);
}

bool TSlotPictures::exists(int slot) { return source_.Exists(slotName(settings_.Slot(slot))); }

std::unique_ptr<ByteSource> TSlotPictures::open(int slot)
{
    return std::make_unique<TOwnedStreamSource>(source_.Open(slotName(settings_.Slot(slot))));
}

PictureFormat TSlotPictures::format(int slot)
{
    return isJpegName(slotName(settings_.Slot(slot))) ? PictureFormat::Jpeg : PictureFormat::Bitmap;
}

bool isJpegName(const QString& name)
{
    return ExtractFileExt(name).toUpper() == QLatin1String(".JPG");
}
