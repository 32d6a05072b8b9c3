#pragma once
// A picture file made ready to be shown in an area: halved until it fits by
// the area's rule, turned upright by its EXIF orientation, a JPEG decoded by
// libjpeg at the scale needed. The pixels come from decode/ and are wrapped,
// not copied. Safe on any thread: nothing here touches a window.
#include "decode/Transform.h"

#include "decode/Picture.h"

#include <QImage>
#include <QSize>
#include <atomic>
#include <memory>

class TStream;

struct TShownPicture {
    QImage Image;     // upright; may be a pixel larger than Size on an axis
    QSize Size;       // the size it is shown at: its upright size, halved
    int Halvings = 0;
};

// Decodes the picture at the stream's position as its first bytes say; one
// that is neither JPEG nor a bitmap is tried as JPEG when `jpeg`, else as a
// Windows bitmap. Failures throw what TJPEGBitmap and TBitmap throw, with
// the same texts; a set `cancel` ends the decode soon with DecodeCancelled.
TShownPicture loadShownPicture(TStream& stream, bool jpeg, QSize area, FitRule rule, const std::atomic<bool>* cancel = nullptr);

// The pixels of a picture the show engine keeps, wrapped without a copy: the
// image holds the picture for as long as it lives.
QImage imageOf(std::shared_ptr<const FittedPicture> picture);
