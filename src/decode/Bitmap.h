#pragma once
// Windows and OS/2 bitmap files, read by our own reader: OS/2 1.x and 2.x
// headers, BITMAPINFOHEADER and its V2 to V5 successors; 1, 2, 4, 8, 16, 24
// and 32 bits per pixel; plain rows, bit fields (with or without alpha, masks
// of any width, each channel scaled exactly to 0..255), RLE4 and RLE8 with
// deltas; palettes of any size up to 2^bits; top-down and bottom-up. Alpha is
// dropped. What it cannot read correctly it refuses with "Bitmap image is not
// valid": it never makes a picture up.
#include "decode/ByteSource.h"
#include "decode/DecodeControl.h"
#include "decode/PixelBuffer.h"

#include <cstdint>

struct BitmapHeader {
    int width = 0;
    int height = 0;   // rows, whichever way they are stored
    int bits = 0;
};

// Reads and checks the headers (and that the rows of an uncompressed bitmap
// are all there). Throws DecodeError.
BitmapHeader readBitmapHeader(ByteSource& source);

// Decodes the bitmap at the source's start at 1/2^halvings of its size
// (scaledLength on each axis, each pixel the mean of its block).
// `reserveBytes` is memory the caller will hold beside the pixels, counted in
// the budget. Leaves the source right behind the pixel data. Throws
// DecodeError, DecodeCancelled, or what the source threw.
PixelBuffer decodeBitmap(ByteSource& source, int halvings, const DecodeControl& control, std::uint64_t reserveBytes = 0);
