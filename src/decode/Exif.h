#pragma once
// The one EXIF tag the program reads: the orientation a camera or phone
// records, so that a photo is shown upright.
#include <cstddef>
#include <cstdint>

// The Orientation tag (1..8) of IFD0 in the payload of a JPEG APP1 segment
// ("Exif\0\0" followed by a TIFF structure). A missing, damaged or
// out-of-range tag gives 1: never a failure.
int exifOrientation(const std::uint8_t* payload, std::size_t size);
// The same of a bare TIFF structure, as PNG's eXIf and WebP's EXIF chunks
// hold it (a leading "Exif\0\0" is taken too).
int tiffOrientation(const std::uint8_t* tiff, std::size_t size);

// Whether an orientation turns the picture by a quarter (5 to 8): its upright
// width is its stored height.
inline bool orientationSwapsAxes(int orientation) { return orientation >= 5 && orientation <= 8; }
