#include "picture/JPEGBitmap.h"

#include "decode/Jpeg.h"
#include "decode/JpegErrors.h"
#include "decode/PixelBuffer.h"
#include "picture/TransferImage.h"
#include "toolkit/Cursor.h"

#include <algorithm>
#include <cstring>
#include <exception>

extern "C" {
#include <jerror.h>
}

// Decoding is decode/Jpeg's; what is left here is the encoder. Everything
// below that runs between a setjmp and the library is plain C-style code on
// plain structs (decode/JpegErrors.h says why); every C++ object (the
// transfer image, a stream's exception) lives in the caller's frame, outside
// the jump.

namespace {

// Calls into the stream with every exception caught here, so that none
// travels through the library. Returns false after a failure.
bool WriteStream(TStream* stream, const void* buffer, std::size_t n, std::size_t& put, std::exception_ptr* failure) noexcept
{
    try {
        put = stream->Write(buffer, n);
        return true;
    } catch (...) {
        *failure = std::current_exception();
        return false;
    }
}

// Shows the hourglass while it lives and puts back the pointer shape it found.
class HourglassScope {
public:
    HourglassScope() : saved_(ScreenCursor()) { SetScreenCursor(TCursorShape::HourGlass); }
    ~HourglassScope() { SetScreenCursor(saved_); }
    HourglassScope(const HourglassScope&) = delete;
    HourglassScope& operator=(const HourglassScope&) = delete;

private:
    TCursorShape saved_;
};

// ------------------------------------------------------------ encoding

struct StreamDestination {
    jpeg_destination_mgr pub;
    TStream* stream;
    JOCTET* buffer;
    std::exception_ptr* failure;
};

void WriteOrFail(j_compress_ptr cinfo, std::size_t n)
{
    auto* dest = reinterpret_cast<StreamDestination*>(cinfo->dest);
    std::size_t put = 0;
    // The stream's exception is kept by the caller's frame already.
    if (!WriteStream(dest->stream, dest->buffer, n, put, dest->failure))
        leaveJpeg(reinterpret_cast<j_common_ptr>(cinfo), "stream error");
    if (put != n)
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

void InitDestination(j_compress_ptr cinfo)
{
    auto* dest = reinterpret_cast<StreamDestination*>(cinfo->dest);
    dest->buffer = static_cast<JOCTET*>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, JPEGBufferSize));
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = JPEGBufferSize;
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo)
{
    WriteOrFail(cinfo, JPEGBufferSize);
    auto* dest = reinterpret_cast<StreamDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = JPEGBufferSize;
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo)
{
    const std::size_t used = JPEGBufferSize - cinfo->dest->free_in_buffer;
    if (used > 0)
        WriteOrFail(cinfo, used);
}

void UseStreamDestination(j_compress_ptr cinfo, TStream* stream, std::exception_ptr* failure)
{
    if (!cinfo->dest)
        cinfo->dest = static_cast<jpeg_destination_mgr*>(
            (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(StreamDestination)));
    auto* dest = reinterpret_cast<StreamDestination*>(cinfo->dest);
    dest->pub.init_destination = InitDestination;
    dest->pub.empty_output_buffer = EmptyOutputBuffer;
    dest->pub.term_destination = TermDestination;
    dest->stream = stream;
    dest->failure = failure;
    dest->buffer = nullptr;
}

struct Encoder {
    jpeg_compress_struct cinfo;
    JpegErrorManager err;
};

// Where the coder takes line y (top first) from: a pointer to its red,
// green and blue bytes, either in the picture itself or written into
// `scratch` (3 x width bytes).
using RowSource = const unsigned char* (*)(const void* picture, int y, unsigned char* scratch);

bool Encode(Encoder& e, TStream* stream, std::exception_ptr* failure, RowSource rowAt, const void* picture, int width,
            int height, int quality, bool optimize)
{
    if (setjmp(e.err.jump))
        return false;
    jpeg_create_compress(&e.cinfo);
    e.cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&e.cinfo);
    e.cinfo.input_components = 3;
    e.cinfo.in_color_space = JCS_RGB;
    e.cinfo.data_precision = 8;
    e.cinfo.image_width = JDIMENSION(width);
    e.cinfo.image_height = JDIMENSION(height);
    JSAMPARRAY rows = (*e.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&e.cinfo), JPOOL_IMAGE,
                                                   JDIMENSION(3 * (width > 0 ? width : 1)), 8);
    jpeg_default_colorspace(&e.cinfo);
    jpeg_set_quality(&e.cinfo, quality, TRUE);
    e.cinfo.smoothing_factor = 0;
    e.cinfo.dct_method = JDCT_ISLOW;
    e.cinfo.optimize_coding = optimize ? TRUE : FALSE;
    UseStreamDestination(&e.cinfo, stream, failure);
    jpeg_start_compress(&e.cinfo, TRUE);
    JSAMPROW batch[8];
    int y = 0;
    while (e.cinfo.next_scanline < e.cinfo.image_height) {
        JDIMENSION n = 0;
        // libjpeg only reads the rows it is given.
        for (; n < 8 && y < height; ++n, ++y)
            batch[n] = const_cast<JSAMPROW>(rowAt(picture, y, rows[n]));
        if (n == 0)
            break;
        jpeg_write_scanlines(&e.cinfo, batch, n);
    }
    jpeg_finish_compress(&e.cinfo);
    return true;
}

} // namespace

void releaseSparePictureMemory()
{
    releaseSparePixelMemory();
}

std::unique_ptr<TGraphic> TJPEGBitmap::NewOfSameClass() const { return std::make_unique<TJPEGBitmap>(); }

void TJPEGBitmap::LoadFromStream(TStream& stream)
{
    // Qt draws every bitmap in true colour, so the 24-bit path is the only
    // one: a palette display is served like any other.
    HourglassScope hourglass;
    TStreamSource source(stream);
    QImage picture;
    try {
        picture = ImageFromPixels(decodeJpeg(source, 0, DecodeControl()).pixels);
    } catch (const DecodeError& e) {
        throw EJPEGError(MessageText(e.what()));
    }
    if (picture.isNull())   // not reached: JPEG stops at 65500 pixels a side
        throw EJPEGError(QStringLiteral("Picture too large"));
    SetImage(picture);
}

namespace {

void EncodeRows(TStream& stream, RowSource rowAt, const void* picture, int width, int height, int quality,
                bool optimize)
{
    std::exception_ptr streamFailure;
    Encoder e;
    std::memset(&e, 0, sizeof e);
    useJpegErrorManager(reinterpret_cast<j_common_ptr>(&e.cinfo), e.err);
    const bool ok = Encode(e, &stream, &streamFailure, rowAt, picture, width, height, quality, optimize);
    jpeg_destroy_compress(&e.cinfo);

    if (streamFailure)
        std::rethrow_exception(streamFailure);
    if (!ok)
        throw EJPEGError(MessageText(e.err.message));
}

} // namespace

void TJPEGBitmap::SaveToStream(TStream& stream) const
{
    const TTransferImage transfer = TTransferImage::FromImage(image_);
    // Bottom-up rows of blue, green and red.
    const RowSource rowAt = [](const void* picture, int y, unsigned char* out) -> const unsigned char* {
        const auto& t = *static_cast<const TTransferImage*>(picture);
        const unsigned char* in = t.Row(t.Height() - 1 - y);
        for (int j = 0; j < t.Width(); ++j) {
            out[3 * j] = in[3 * j + 2];
            out[3 * j + 1] = in[3 * j + 1];
            out[3 * j + 2] = in[3 * j];
        }
        return out;
    };
    EncodeRows(stream, rowAt, &transfer, transfer.Width(), transfer.Height(), 85, true);
}

void writeJpeg(TStream& stream, const QImage& rgb, int quality)
{
    Q_ASSERT(rgb.format() == QImage::Format_RGB888);
    const RowSource rowAt = [](const void* picture, int y, unsigned char*) -> const unsigned char* {
        return static_cast<const QImage*>(picture)->constScanLine(y);
    };
    // The standard Huffman tables: tables made for the picture would need
    // all its coefficients at once (2 bytes a sample, as much again as the
    // pixels) for a file a few per cent smaller.
    EncodeRows(stream, rowAt, &rgb, rgb.width(), rgb.height(), quality, false);
}
