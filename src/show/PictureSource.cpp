#include "show/PictureSource.h"

#include "toolkit/Files.h"
#include "toolkit/Graphics.h"

bool TFolderPictureSource::IsBareName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") && name != QLatin1String("..");
}

bool TFolderPictureSource::Exists(const QString& name)
{
    return IsBareName(name) && FileExists(name);
}

std::unique_ptr<TStream> TFolderPictureSource::Open(const QString& name)
{
    if (!IsBareName(name))
        throw EInOutError(2);
    return std::make_unique<THandleStream>(name, TFileStream::fmOpenRead);
}

bool IsJpegName(const QString& name)
{
    return ExtractFileExt(name).toUpper() == QLatin1String(".JPG");
}
