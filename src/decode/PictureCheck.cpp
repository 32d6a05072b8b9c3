#include "decode/PictureCheck.h"

#include "decode/Bitmap.h"
#include "decode/Jpeg.h"
#include "decode/JpegMarkers.h"

PictureKind pictureKindOf(ByteSource& source)
{
    std::uint8_t head[3] = {};
    source.seek(0);
    const std::size_t n = source.read(head, sizeof head);
    source.seek(0);
    if (n == 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF)
        return PictureKind::Jpeg;
    if (n >= 2 && head[0] == 'B' && head[1] == 'M')
        return PictureKind::Bitmap;
    return PictureKind::Other;
}

PictureInfo checkPicture(ByteSource& source, PictureKind kind, const DecodeControl& control)
{
    if (kind == PictureKind::Bitmap) {
        const BitmapHeader h = readBitmapHeader(source);
        return {h.width, h.height, 1};
    }
    if (kind != PictureKind::Jpeg)
        throw DecodeError("Not a JPEG or bitmap file", DecodeFault::Unsupported);
    const JpegHeader h = readJpegHeader(source, control);
    if (!jpegColoursSupported(h.components))
        throw unsupportedJpegColours(h.components);
    // Entropy-coded data holds no marker (an FF in it is followed by a
    // zero), so a file cut anywhere lacks the end marker.
    if (!readJpegLayout(source, JpegExtent::WholeFile, control).ended)
        throw DecodeError("Premature end of JPEG file", DecodeFault::CutShort);
    return {h.width, h.height, h.orientation};
}

const char* plainReason(DecodeFault fault)
{
    switch (fault) {
    case DecodeFault::CutShort:
        return "it is cut short";
    case DecodeFault::Empty:
        return "it is empty";
    case DecodeFault::NoPicture:
        return "it holds no picture";
    case DecodeFault::Unsupported:
        return "it is stored in a form that cannot be read";
    case DecodeFault::TooLarge:
        return "it is too large";
    case DecodeFault::Damaged:
        break;
    }
    return "it is damaged";
}
