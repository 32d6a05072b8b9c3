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

bool IsJpegName(const QString& name)
{
    return ExtractFileExt(name).toUpper() == QLatin1String(".JPG");
}
