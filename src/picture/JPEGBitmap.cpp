#include "picture/JPEGBitmap.h"

#include "picture/TransferImage.h"
#include "toolkit/Cursor.h"

#include <sys/mman.h>

#include <algorithm>
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

// How decoded samples become pixels: the library's own output already in the
// bitmap's layout, or four ink samples that we turn into colour.
enum class Samples { Native, CMYK, AdobeCMYK };

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE NativePixels = JCS_EXT_BGRA;   // QRgb 0xAARRGGBB in memory
#else
constexpr J_COLOR_SPACE NativePixels = JCS_EXT_ARGB;
#endif

enum class Start { Failed, TooLarge, Started };

// Header, options and the start of decompression; a picture too large to
// hold is refused before the library sets aside memory for it. After a
// failure the library's message is in d.err.message.
Start StartDecoding(Decoder& d, TStream* stream, std::exception_ptr* failure)
{
    if (setjmp(d.err.jump))
        return Start::Failed;
    jpeg_create_decompress(&d.cinfo);
    jpeg_set_marker_processor(&d.cinfo, JPEG_COM, SkipComment);
    UseStreamSource(&d.cinfo, stream, failure);
    jpeg_read_header(&d.cinfo, TRUE);
    if (std::int64_t(d.cinfo.image_width) * std::int64_t(d.cinfo.image_height) * 4 > MaxPictureBytes)
        return Start::TooLarge;
    d.cinfo.scale_num = 100;    // a ratio of 1: full size
    d.cinfo.scale_denom = 100;
    d.cinfo.do_block_smoothing = TRUE;
    // Greyscale and colour pictures come out of the library as the bitmap's
    // own pixels (blue, green, red, opaque alpha in memory; a grey level in
    // all three colours), so rows are decoded straight into the picture.
    if (d.cinfo.out_color_space == JCS_GRAYSCALE || d.cinfo.out_color_space == JCS_RGB)
        d.cinfo.out_color_space = NativePixels;
    jpeg_start_decompress(&d.cinfo);
    return Start::Started;
}

inline std::uint8_t Mul255(unsigned a, unsigned b)
{
    const unsigned t = a * b + 128;
    return std::uint8_t((t + (t >> 8)) >> 8);
}

void ConvertCmykRow(const JSAMPLE* in, QRgb* out, JDIMENSION width, bool adobe)
{
    if (adobe) {
        // Adobe writes the inks inverted: 255 is no ink.
        for (JDIMENSION j = 0; j < width; ++j, in += 4) {
            const unsigned k = in[3];
            out[j] = qRgb(Mul255(in[0], k), Mul255(in[1], k), Mul255(in[2], k));
        }
    } else {
        for (JDIMENSION j = 0; j < width; ++j, in += 4) {
            const unsigned k = 255u - in[3];
            out[j] = qRgb(Mul255(255u - in[0], k), Mul255(255u - in[1], k), Mul255(255u - in[2], k));
        }
    }
}

// Reads every row, eight at a time, into the rows of the picture (top line
// first), then finishes the datastream, so that a warning at its very end
// still fails the load.
bool DecodeRows(Decoder& d, unsigned char* bits, qsizetype bytesPerLine, Samples kind)
{
    if (setjmp(d.err.jump))
        return false;
    jpeg_decompress_struct& c = d.cinfo;
    JSAMPARRAY rows = nullptr;
    if (kind != Samples::Native)
        rows = (*c.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&c), JPOOL_IMAGE,
                                      c.output_width * JDIMENSION(c.output_components), 8);
    JSAMPROW direct[8];
    while (c.output_scanline < c.output_height) {
        const JDIMENSION first = c.output_scanline;
        if (kind == Samples::Native) {
            const JDIMENSION n = std::min<JDIMENSION>(8, c.output_height - first);
            for (JDIMENSION i = 0; i < n; ++i)
                direct[i] = bits + qsizetype(first + i) * bytesPerLine;
            jpeg_read_scanlines(&c, direct, n);
        } else {
            const JDIMENSION got = jpeg_read_scanlines(&c, rows, 8);
            for (JDIMENSION i = 0; i < got; ++i)
                ConvertCmykRow(rows[i], reinterpret_cast<QRgb*>(bits + qsizetype(first + i) * bytesPerLine),
                               c.output_width, kind == Samples::AdobeCMYK);
        }
    }
    jpeg_finish_decompress(&c);
    return true;
}

// Pixel blocks of decoded pictures come straight from the system and go back
// to one spare slot when the last image using them ends. The show decodes one
// picture after another of much the same size, and faulting in and clearing
// the pages of a fresh block costs more than all our own work on the rows.
struct PixelBlock {
    void* data;
    std::size_t size;
};
PixelBlock spareBlock{nullptr, 0};

void FreeBlock(PixelBlock& b)
{
    if (b.data)
        ::munmap(b.data, b.size);
    b = {nullptr, 0};
}

void ReturnBlock(void* info)
{
    auto* block = static_cast<PixelBlock*>(info);
    FreeBlock(spareBlock);
    spareBlock = *block;
    delete block;
}

// A picture of 32-bit pixels whose rows are exactly 4 x width bytes.
QImage NewPicture(int width, int height)
{
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * 4;
    PixelBlock block{nullptr, 0};
    if (spareBlock.data && spareBlock.size >= bytes && spareBlock.size / 2 <= bytes) {
        block = spareBlock;
        spareBlock = {nullptr, 0};
    } else {
        FreeBlock(spareBlock);   // before taking more, not after
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return QImage();
        block = {p, bytes};
    }
    auto* info = new PixelBlock(block);
    QImage image(static_cast<uchar*>(block.data), width, height, qsizetype(width) * 4, QImage::Format_RGB32,
                 ReturnBlock, info);
    if (image.isNull())
        ReturnBlock(info);
    return image;
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

void ReleaseSparePictureMemory()
{
    FreeBlock(spareBlock);
}

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

    const Start start = StartDecoding(d, &stream, &streamFailure);
    const jpeg_decompress_struct& c = d.cinfo;
    if (start == Start::Failed) {
        failure = QString::fromLocal8Bit(d.err.message);
    } else if (start == Start::TooLarge) {
        failure = QStringLiteral("Picture too large (%1 x %2)").arg(c.image_width).arg(c.image_height);
    } else {
        Samples kind = Samples::Native;
        if (c.out_color_space == JCS_CMYK && c.output_components == 4)
            kind = c.saw_Adobe_marker ? Samples::AdobeCMYK : Samples::CMYK;
        else if (c.out_color_space != NativePixels || c.output_components != 4)
            failure = QStringLiteral("Unsupported JPEG colour format (%1 components)").arg(c.output_components);
        if (failure.isEmpty()) {
            picture = NewPicture(int(c.output_width), int(c.output_height));
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
