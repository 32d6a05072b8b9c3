#pragma once
// A picture file as the show and the view use it, whatever its format: its
// upright size from the header alone, and its pixels decoded upright at the
// scale it is shown at.
#include "decode/ByteSource.h"
#include "decode/DecodeControl.h"
#include "decode/PixelBuffer.h"
#include "decode/Transform.h"

enum class PictureFormat { Jpeg, Bitmap };

// What a picture's first bytes say it is: JPEG (FF D8 FF) or a bitmap
// ("BM"), whatever its name. Anything else is taken for `byName`, what its
// name suggests, so that its decoder names the fault.
PictureFormat pictureFormatOf(ByteSource& source, PictureFormat byName);

struct PictureInfo {
    int width = 0;         // as stored
    int height = 0;
    int orientation = 1;   // EXIF (JPEG only), 1..8
    int uprightWidth() const;
    int uprightHeight() const;
};

// Reads only the headers. Throws DecodeError, DecodeCancelled, or what the
// source threw.
PictureInfo readPictureInfo(ByteSource& source, PictureFormat format, const DecodeControl& control = {});

// The picture turned upright and decoded at 1/2^halvings:
// scaledLength(uprightWidth, halvings) x scaledLength(uprightHeight, halvings).
// Throws DecodeError, DecodeCancelled, or what the source threw.
PixelBuffer decodePicture(ByteSource& source, PictureFormat format, int halvings, const DecodeControl& control);

// A picture made ready for an area: halved as the area's rule asks, decoded
// at that scale. It is shown at shownWidth() x shownHeight() (the halving's
// integer sizes); its pixels may be one larger on an axis and are drawn into
// that size.
struct FittedPicture {
    PictureInfo info;
    int halvings = 0;
    PixelBuffer pixels;
    int shownWidth() const { return info.uprightWidth() >> halvings; }
    int shownHeight() const { return info.uprightHeight() >> halvings; }
};

// `format` is what the name suggests; the first bytes decide.
FittedPicture decodeToFit(ByteSource& source, PictureFormat format, int areaWidth, int areaHeight, FitRule rule,
                          const DecodeControl& control);
