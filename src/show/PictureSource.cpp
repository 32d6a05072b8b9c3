#include "show/PictureSource.h"

#include "project/Project.h"
#include "toolkit/Files.h"
#include "toolkit/Graphics.h"

bool TFolderPictureSource::Exists(const QString& name)
{
    return ProjectPictureExists(name);
}

void TFolderPictureSource::Load(const QString& name, TGraphic& target)
{
    if (!IsPlainName(name))
        throw EInOutError(2);
    // Opened as it was found: a link put there meanwhile is not followed.
    TFileStream file(name, TFileStream::fmOpenRead, TFileStream::NoLinks);
    THandleStream stream(file);
    target.LoadFromStream(stream);
    file.Close();
}

bool IsJpegName(const QString& name)
{
    return ExtractFileExt(name).toUpper() == QLatin1String(".JPG");
}
