#pragma once
// A bitmap that loads JPEG data (decode/Jpeg.h, at full size) and saves itself
// as JPEG through libjpeg driven directly: our own stream destination, our
// own error handling. Everything else (size, drawing, sharing) is the plain
// bitmap's.
#include "decode/Jpeg.h"
#include "toolkit/Graphics.h"

// A failed JPEG load or save, carrying the decoder's (or encoder's) message,
// e.g. "Premature end of JPEG file".
class EJPEGError : public EGlimmerError {
public:
    using EGlimmerError::EGlimmerError;
};

class TJPEGBitmap : public TBitmap {
public:
    std::unique_ptr<TGraphic> NewOfSameClass() const override;
    // Decodes one JPEG datastream from the stream's position at full size.
    // On failure (any fatal error, or the first warning of the decoder) it
    // throws and the bitmap keeps its previous picture. The stream may be
    // read up to 10240 bytes past the end of the JPEG data.
    void LoadFromStream(TStream& stream) override;
    // Encodes the picture as baseline JPEG, quality 85, optimised Huffman
    // tables, at the stream's position.
    void SaveToStream(TStream& stream) const override;
};

// Encodes an 8-bit RGB picture (QImage::Format_RGB888) as baseline JPEG at
// `quality` (1 to 100), the standard Huffman tables, no metadata, at the
// stream's position. Throws EJPEGError, or what the stream threw.
void writeJpeg(TStream& stream, const QImage& rgb, int quality);

// Decoded pictures leave their memory for the next decode when they end; this
// gives it back to the system (say, when a full-screen show closes).
void releaseSparePictureMemory();

// The size of the stream buffers of the coder, in bytes.
inline constexpr std::size_t JPEGBufferSize = jpegBufferSize;
