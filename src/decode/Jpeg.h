#pragma once
// JPEG over libjpeg, driven directly: our own source over a ByteSource, read
// in blocks of jpegBufferSize bytes; our own error handling, in which every
// fatal error and the first warning end the decode with the library's
// message; the EXIF orientation from the first Exif APP1 segment; libjpeg's
// own scaling; and the decoding budget.
#include "decode/ByteSource.h"
#include "decode/DecodeError.h"
#include "decode/DecodeControl.h"
#include "decode/PixelBuffer.h"

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t jpegBufferSize = 10240;

struct JpegHeader {
    int width = 0;         // as stored
    int height = 0;
    int components = 0;
    int orientation = 1;   // EXIF, 1..8
};

// The colours of a picture of `components` components (1, 3 or 4): grey,
// YCbCr or RGB, CMYK or YCCK; the rest is refused by unsupportedJpegColours.
inline bool jpegColoursSupported(int components) { return components == 1 || components == 3 || components == 4; }
inline DecodeError unsupportedJpegColours(int components)
{
    return DecodeError("Unsupported JPEG colour format (" + std::to_string(components) + " components)",
                       DecodeFault::Unsupported);
}

// Reads the datastream up to its first scan. Throws DecodeError with the
// library's message, or DecodeCancelled.
JpegHeader readJpegHeader(ByteSource& source, const DecodeControl& control = {});

struct JpegPicture {
    PixelBuffer pixels;
    int orientation = 1;   // as recorded: not applied
};

// Decodes the datastream at the source's start at 1/2^halvings of its stored
// size (scaledLength on each axis): libjpeg scales by 1/2, 1/4 and 1/8
// itself; beyond that its 1/8 rows are averaged. With no halving the picture
// is exactly djpeg's (islow, fancy upsampling, block smoothing).
// `reserveBytes` is memory the caller will hold beside the pixels, counted
// in the budget. Throws DecodeError (the library's message, or "Picture too
// large (W x H)" and the budget's own texts), DecodeCancelled, or what the
// source threw.
JpegPicture decodeJpeg(ByteSource& source, int halvings, const DecodeControl& control, std::uint64_t reserveBytes = 0);
