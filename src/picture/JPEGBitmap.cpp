#include "picture/JPEGBitmap.h"

#include "picture/TransferImage.h"
#include "toolkit/Cursor.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

// libjpeg reports fatal errors by calling back into us and expects never to be
// returned to; we leave it with longjmp. C++ allows that only when no object
// with a destructor is jumped over, so everything below that runs between a
// setjmp and the library is plain C-style code on plain structs, and every
// C++ object (the picture being filled, the transfer image, a stream's
// exception) lives in the caller's frame, outside the jump.

namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// Every message that reaches the output ends the load or save: fatal errors
// (through error_exit) and the first warning (through the library's own
// emit_message, which outputs the first warning and counts later ones).
void OutputMessage(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*err->pub.format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void ErrorExit(j_common_ptr cinfo)
{
    (*cinfo->err->output_message)(cinfo);
}

void InitErrorManager(ErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = ErrorExit;
    err.pub.output_message = OutputMessage;
    err.message[0] = '\0';
}

// Leaves the library after the stream itself failed; the stream's exception
// has already been kept by the caller's frame.
[[noreturn]] void StreamFailed(j_common_ptr cinfo)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::snprintf(err->message, sizeof err->message, "%s", "stream error");
    std::longjmp(err->jump, 1);
}

// Calls into the stream with every exception caught here, so that none
// travels through the library. Returns false after a failure.
bool ReadStream(TStream* stream, void* buffer, std::size_t n, std::size_t& got, std::exception_ptr* failure) noexcept
{
    try {
        got = stream->Read(buffer, n);
        return true;
    } catch (...) {
        *failure = std::current_exception();
        return false;
    }
}

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

// ------------------------------------------------------------ stream source

struct StreamSource {
    jpeg_source_mgr pub;
    TStream* stream;
    JOCTET* buffer;
    boolean StartOfFile;
    std::exception_ptr* failure;   // lives in the caller's frame
};

void InitSource(j_decompress_ptr cinfo)
{
    reinterpret_cast<StreamSource*>(cinfo->src)->StartOfFile = TRUE;
}

boolean FillInputBuffer(j_decompress_ptr cinfo)
{
    auto* src = reinterpret_cast<StreamSource*>(cinfo->src);
    std::size_t got = 0;
    if (!ReadStream(src->stream, src->buffer, JPEGBufferSize, got, src->failure))
        StreamFailed(reinterpret_cast<j_common_ptr>(cinfo));
    if (got == 0) {
        if (src->StartOfFile)
            ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        // Not reached: the first warning ends the load. Should the library
        // ever let one pass, it gets an end marker instead of stale bytes.
        src->buffer[0] = JOCTET(0xFF);
        src->buffer[1] = JOCTET(JPEG_EOI);
        got = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = got;
    src->StartOfFile = FALSE;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long n)
{
    if (n <= 0)
        return;
    jpeg_source_mgr* src = cinfo->src;
    while (n > long(src->bytes_in_buffer)) {
        n -= long(src->bytes_in_buffer);
        (*src->fill_input_buffer)(cinfo);
    }
    src->next_input_byte += n;
    src->bytes_in_buffer -= std::size_t(n);
}

void TermSource(j_decompress_ptr) {}

void UseStreamSource(j_decompress_ptr cinfo, TStream* stream, std::exception_ptr* failure)
{
    if (!cinfo->src) {
        auto* src = static_cast<StreamSource*>(
            (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(StreamSource)));
        src->buffer = static_cast<JOCTET*>(
            (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, JPEGBufferSize));
        cinfo->src = &src->pub;
    }
    auto* src = reinterpret_cast<StreamSource*>(cinfo->src);
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->stream = stream;
    src->failure = failure;
    src->StartOfFile = TRUE;
    src->pub.bytes_in_buffer = 0;       // the first read fills the buffer
    src->pub.next_input_byte = nullptr;
}

// A COM segment is read past and forgotten.
unsigned NextByte(j_decompress_ptr cinfo)
{
    jpeg_source_mgr* src = cinfo->src;
    if (src->bytes_in_buffer == 0)
        (*src->fill_input_buffer)(cinfo);
    --src->bytes_in_buffer;
    return GETJOCTET(*src->next_input_byte++);
}

boolean SkipComment(j_decompress_ptr cinfo)
{
    long length = long(NextByte(cinfo)) << 8;
    length += long(NextByte(cinfo));
    length -= 2;
    while (length-- > 0)
        NextByte(cinfo);
    return TRUE;
}

// ------------------------------------------------------------ decoding

struct Decoder {
    jpeg_decompress_struct cinfo;
    ErrorManager err;
};

// How decoded samples become pixels.
enum class Samples { Grey, RGB, CMYK, AdobeCMYK };

// Header, options and the start of decompression. False after a failure,
// with the library's message in d.err.message.
bool StartDecoding(Decoder& d, TStream* stream, std::exception_ptr* failure)
{
    if (setjmp(d.err.jump))
        return false;
    jpeg_create_decompress(&d.cinfo);
    jpeg_set_marker_processor(&d.cinfo, JPEG_COM, SkipComment);
    UseStreamSource(&d.cinfo, stream, failure);
    jpeg_read_header(&d.cinfo, TRUE);
    d.cinfo.scale_num = 100;    // a ratio of 1: full size
    d.cinfo.scale_denom = 100;
    d.cinfo.do_block_smoothing = TRUE;
    jpeg_start_decompress(&d.cinfo);
    return true;
}

inline std::uint8_t Mul255(unsigned a, unsigned b)
{
    const unsigned t = a * b + 128;
    return std::uint8_t((t + (t >> 8)) >> 8);
}

void ConvertRow(const JSAMPLE* in, QRgb* out, JDIMENSION width, Samples kind)
{
    switch (kind) {
    case Samples::Grey:
        for (JDIMENSION j = 0; j < width; ++j) {
            const unsigned v = in[j];
            out[j] = 0xff000000u | (v << 16) | (v << 8) | v;
        }
        break;
    case Samples::RGB:
        for (JDIMENSION j = 0; j < width; ++j, in += 3)
            out[j] = 0xff000000u | (unsigned(in[0]) << 16) | (unsigned(in[1]) << 8) | unsigned(in[2]);
        break;
    case Samples::AdobeCMYK:
        // Adobe writes the inks inverted: 255 is no ink.
        for (JDIMENSION j = 0; j < width; ++j, in += 4) {
            const unsigned k = in[3];
            out[j] = qRgb(Mul255(in[0], k), Mul255(in[1], k), Mul255(in[2], k));
        }
        break;
    case Samples::CMYK:
        for (JDIMENSION j = 0; j < width; ++j, in += 4) {
            const unsigned k = 255u - in[3];
            out[j] = qRgb(Mul255(255u - in[0], k), Mul255(255u - in[1], k), Mul255(255u - in[2], k));
        }
        break;
    }
}

// Reads every row, eight at a time, straight into the rows of the picture
// (top line first), then finishes the datastream, so that a warning at its
// very end still fails the load.
bool DecodeRows(Decoder& d, unsigned char* bits, qsizetype bytesPerLine, Samples kind)
{
    if (setjmp(d.err.jump))
        return false;
    JSAMPARRAY rows = (*d.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.cinfo), JPOOL_IMAGE,
                                                   d.cinfo.output_width * JDIMENSION(d.cinfo.output_components), 8);
    while (d.cinfo.output_scanline < d.cinfo.output_height) {
        const JDIMENSION first = d.cinfo.output_scanline;
        const JDIMENSION got = jpeg_read_scanlines(&d.cinfo, rows, 8);
        for (JDIMENSION i = 0; i < got; ++i)
            ConvertRow(rows[i], reinterpret_cast<QRgb*>(bits + qsizetype(first + i) * bytesPerLine),
                       d.cinfo.output_width, kind);
    }
    jpeg_finish_decompress(&d.cinfo);
    return true;
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
    if (!WriteStream(dest->stream, dest->buffer, n, put, dest->failure))
        StreamFailed(reinterpret_cast<j_common_ptr>(cinfo));
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
    ErrorManager err;
};

bool Encode(Encoder& e, TStream* stream, std::exception_ptr* failure, const unsigned char* pixels, int stride,
            int width, int height)
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
    jpeg_set_quality(&e.cinfo, 85, TRUE);
    e.cinfo.smoothing_factor = 0;
    e.cinfo.dct_method = JDCT_ISLOW;
    e.cinfo.optimize_coding = TRUE;
    UseStreamDestination(&e.cinfo, stream, failure);
    jpeg_start_compress(&e.cinfo, TRUE);
    int r = height - 1;   // the transfer image is bottom-up: its last row is the top line
    while (e.cinfo.next_scanline < e.cinfo.image_height) {
        JDIMENSION n = 0;
        while (n < 8 && r >= 0) {
            const unsigned char* in = pixels + std::ptrdiff_t(r) * stride;
            JSAMPLE* out = rows[n];
            for (int j = 0; j < width; ++j) {
                out[3 * j] = in[3 * j + 2];
                out[3 * j + 1] = in[3 * j + 1];
                out[3 * j + 2] = in[3 * j];
            }
            ++n;
            --r;
        }
        if (n == 0)
            break;
        jpeg_write_scanlines(&e.cinfo, rows, n);
    }
    jpeg_finish_compress(&e.cinfo);
    return true;
}

} // namespace

std::unique_ptr<TGraphic> TJPEGBitmap::NewOfSameClass() const { return std::make_unique<TJPEGBitmap>(); }

void TJPEGBitmap::LoadFromStream(TStream& stream)
{
    // Qt draws every bitmap in true colour, so the 24-bit path is the only
    // one: a palette display is served like any other.
    HourglassScope hourglass;
    std::exception_ptr streamFailure;
    QImage picture;
    QString failure;

    Decoder d;
    std::memset(&d, 0, sizeof d);
    InitErrorManager(d.err);
    d.cinfo.err = &d.err.pub;

    if (!StartDecoding(d, &stream, &streamFailure)) {
        failure = QString::fromLocal8Bit(d.err.message);
    } else {
        const jpeg_decompress_struct& c = d.cinfo;
        Samples kind = Samples::RGB;
        if (c.out_color_space == JCS_GRAYSCALE && c.output_components == 1)
            kind = Samples::Grey;
        else if (c.out_color_space == JCS_RGB && c.output_components == 3)
            kind = Samples::RGB;
        else if (c.out_color_space == JCS_CMYK && c.output_components == 4)
            kind = c.saw_Adobe_marker ? Samples::AdobeCMYK : Samples::CMYK;
        else
            failure = QStringLiteral("Unsupported JPEG colour format (%1 components)").arg(c.output_components);

        const std::int64_t bytes = std::int64_t(c.output_width) * std::int64_t(c.output_height) * 4;
        if (failure.isEmpty() && bytes > MaxPictureBytes)
            failure = QStringLiteral("Picture too large (%1 x %2)").arg(c.output_width).arg(c.output_height);
        if (failure.isEmpty()) {
            picture = QImage(int(c.output_width), int(c.output_height), QImage::Format_RGB32);
            if (picture.isNull())
                failure = QStringLiteral("Not enough memory for a picture of %1 x %2").arg(c.output_width).arg(c.output_height);
        }
        if (failure.isEmpty() && !DecodeRows(d, picture.bits(), picture.bytesPerLine(), kind))
            failure = QString::fromLocal8Bit(d.err.message);
    }
    jpeg_destroy_decompress(&d.cinfo);

    if (streamFailure)
        std::rethrow_exception(streamFailure);
    if (!failure.isEmpty())
        throw EJPEGError(failure);
    SetImage(picture);
}

void TJPEGBitmap::SaveToStream(TStream& stream) const
{
    const TTransferImage transfer = TTransferImage::FromImage(image_);
    std::exception_ptr streamFailure;

    Encoder e;
    std::memset(&e, 0, sizeof e);
    InitErrorManager(e.err);
    e.cinfo.err = &e.err.pub;
    const bool ok = Encode(e, &stream, &streamFailure, reinterpret_cast<const unsigned char*>(transfer.Pixels().constData()),
                           transfer.Stride(), transfer.Width(), transfer.Height());
    jpeg_destroy_compress(&e.cinfo);

    if (streamFailure)
        std::rethrow_exception(streamFailure);
    if (!ok)
        throw EJPEGError(QString::fromLocal8Bit(e.err.message));
}
