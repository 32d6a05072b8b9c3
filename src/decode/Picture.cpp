#include "decode/Picture.h"

#include "decode/Bitmap.h"
#include "decode/Exif.h"
#include "decode/Jpeg.h"
#include "decode/PictureCheck.h"

#include <utility>

int PictureInfo::uprightWidth() const { return orientationSwapsAxes(orientation) ? height : width; }
int PictureInfo::uprightHeight() const { return orientationSwapsAxes(orientation) ? width : height; }

PictureFormat pictureFormatOf(ByteSource& source, PictureFormat byName)
{
    switch (pictureKindOf(source)) {
    case PictureKind::Jpeg:
        return PictureFormat::Jpeg;
    case PictureKind::Bitmap:
        return PictureFormat::Bitmap;
    case PictureKind::Other:
        break;
    }
    return byName;
}

PictureInfo readPictureInfo(ByteSource& source, PictureFormat format, const DecodeControl& control)
{
    PictureInfo info;
    if (format == PictureFormat::Jpeg) {
        const JpegHeader h = readJpegHeader(source, control);
        info = {h.width, h.height, h.orientation};
    } else {
        const BitmapHeader h = readBitmapHeader(source);
        info = {h.width, h.height, 1};
    }
    return info;
}

PixelBuffer decodePicture(ByteSource& source, PictureFormat format, int halvings, const DecodeControl& control)
{
    if (format == PictureFormat::Bitmap)
        return decodeBitmap(source, halvings, control);
    // A quarter turn needs a second picture of the same size for a moment.
    const JpegHeader h = readJpegHeader(source, control);
    const std::uint64_t turn = orientationSwapsAxes(h.orientation)
                                   ? std::uint64_t(scaledLength(h.width, halvings)) * std::uint64_t(scaledLength(h.height, halvings)) * 4
                                   : 0;
    JpegPicture picture = decodeJpeg(source, halvings, control, turn);
    return orientUpright(std::move(picture.pixels), picture.orientation, control);
}

FittedPicture decodeToFit(ByteSource& source, PictureFormat format, int areaWidth, int areaHeight, FitRule rule,
                          const DecodeControl& control)
{
    format = pictureFormatOf(source, format);
    FittedPicture fitted;
    fitted.info = readPictureInfo(source, format, control);
    fitted.halvings = halvingsToFit(fitted.info.uprightWidth(), fitted.info.uprightHeight(), areaWidth, areaHeight, rule);
    fitted.pixels = decodePicture(source, format, fitted.halvings, control);
    return fitted;
}
