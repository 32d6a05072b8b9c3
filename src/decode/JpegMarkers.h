#pragma once
// A JPEG datastream read marker by marker, without decoding it: the frame's
// size, the first Exif APP1 segment's orientation, and, for the whole file,
// how many scans it has and how many blocks they visit. A decoder that is
// not libjpeg (the Windows Imaging Component in the Windows player) gets
// from here what libjpeg tells ours: the EXIF orientation through our own
// reader, and the decoding budget checked before any pixel is decoded.
#include "decode/ByteSource.h"
#include "decode/DecodeControl.h"

#include <cstdint>

struct JpegLayout {
    int width = 0;           // as stored
    int height = 0;
    int components = 0;
    int orientation = 1;     // EXIF, 1..8
    bool progressive = false;
    int scans = 0;           // counted only when the whole file was read
    std::uint64_t scanBlocks = 0;   // blocks of 8 x 8 visited by those scans
    bool ended = false;      // the whole file was read and its end marker found
};

enum class JpegExtent {
    Header,      // up to the first scan
    WholeFile,   // every scan, to the end marker or the end of the data
};

// Throws DecodeError for a datastream that is no JPEG or is broken in its
// markers, and with the budget's own texts (as libjpeg's decoder gives
// them) when the scans are beyond it; DecodeCancelled; or what the source
// threw. Damaged entropy-coded data is left for the decoder to find.
JpegLayout readJpegLayout(ByteSource& source, JpegExtent extent, const DecodeControl& control = {});
