#include "decode/Jpeg.h"

#include "decode/DecodeError.h"
#include "decode/Exif.h"
#include "decode/JpegErrors.h"
#include "decode/Transform.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <string>

extern "C" {
#include <jerror.h>
}

// Everything below that runs between a setjmp and the library is plain
// C-style code on the plain Session struct (JpegErrors.h says why); every
// C++ object (the pixels, the shrinker, a source's exception) lives in the
// caller's frame, outside the jump. The same way out serves the budget and
// cancellation, checked in the library's progress monitor between rows and
// between scans.

namespace {

// Why a decode stopped early, beside the library's own errors.
enum class Stop { None, Source, Cancelled, Scans, Work };

struct SourceManager {
    jpeg_source_mgr pub;
    ByteSource* source;
    JOCTET* buffer;
    boolean StartOfFile;
};

struct Session {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    jpeg_progress_mgr progress;
    Stop stop;
    std::exception_ptr* sourceFailure;   // lives in the caller's frame
    const DecodeControl* control;
    int lastScan;
    std::uint64_t scanBlocks;
    JOCTET* app1;                        // one segment's room, allocated once
    JOCTET* exif;                        // the first Exif APP1 payload, in app1
    unsigned exifSize;
};

Session* sessionOf(j_common_ptr c) { return static_cast<Session*>(c->client_data); }
Session* sessionOf(j_decompress_ptr c) { return static_cast<Session*>(c->client_data); }

[[noreturn]] void stopDecoding(j_common_ptr c, Stop why, const char* message)
{
    sessionOf(c)->stop = why;
    leaveJpeg(c, message);
}

// Between rows and between scans: cancellation, and the budget of scans.
void monitorProgress(j_common_ptr common)
{
    Session* s = sessionOf(common);
    if (s->control->cancelled())
        stopDecoding(common, Stop::Cancelled, "cancelled");
    auto* c = reinterpret_cast<j_decompress_ptr>(common);
    if (c->input_scan_number == s->lastScan)
        return;
    s->lastScan = c->input_scan_number;
    const DecodeBudget& budget = s->control->budget();
    if (c->input_scan_number > budget.maxScans)
        stopDecoding(common, Stop::Scans, "scans");
    for (int i = 0; i < c->comps_in_scan; ++i)
        s->scanBlocks += std::uint64_t(c->cur_comp_info[i]->width_in_blocks) * c->cur_comp_info[i]->height_in_blocks;
    if (s->scanBlocks > budget.maxScanBlocks)
        stopDecoding(common, Stop::Work, "work");
}

// ------------------------------------------------------------ the source

// Calls into the source with every exception caught here, so that none
// travels through the library.
bool readSource(ByteSource* source, void* buffer, std::size_t n, std::size_t& got, std::exception_ptr* failure) noexcept
{
    try {
        got = source->read(buffer, n);
        return true;
    } catch (...) {
        *failure = std::current_exception();
        return false;
    }
}

void initSource(j_decompress_ptr c) { reinterpret_cast<SourceManager*>(c->src)->StartOfFile = TRUE; }

boolean fillInputBuffer(j_decompress_ptr c)
{
    auto* src = reinterpret_cast<SourceManager*>(c->src);
    // Segments the library skips are read through here too, however long.
    if (sessionOf(c)->control->cancelled())
        stopDecoding(reinterpret_cast<j_common_ptr>(c), Stop::Cancelled, "cancelled");
    std::size_t got = 0;
    if (!readSource(src->source, src->buffer, jpegBufferSize, got, sessionOf(c)->sourceFailure))
        stopDecoding(reinterpret_cast<j_common_ptr>(c), Stop::Source, "source");
    if (got == 0) {
        if (src->StartOfFile)
            ERREXIT(c, JERR_INPUT_EMPTY);
        WARNMS(c, JWRN_JPEG_EOF);
        // Not reached: the first warning ends the decode. Should the library
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

void skipInputData(j_decompress_ptr c, long n)
{
    if (n <= 0)
        return;
    jpeg_source_mgr* src = c->src;
    while (n > long(src->bytes_in_buffer)) {
        n -= long(src->bytes_in_buffer);
        (*src->fill_input_buffer)(c);
    }
    src->next_input_byte += n;
    src->bytes_in_buffer -= std::size_t(n);
}

void termSource(j_decompress_ptr) {}

void useSource(j_decompress_ptr c, ByteSource* source)
{
    auto* src = static_cast<SourceManager*>(
        (*c->mem->alloc_small)(reinterpret_cast<j_common_ptr>(c), JPOOL_PERMANENT, sizeof(SourceManager)));
    src->buffer = static_cast<JOCTET*>(
        (*c->mem->alloc_small)(reinterpret_cast<j_common_ptr>(c), JPOOL_PERMANENT, jpegBufferSize));
    src->pub.init_source = initSource;
    src->pub.fill_input_buffer = fillInputBuffer;
    src->pub.skip_input_data = skipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = termSource;
    src->source = source;
    src->StartOfFile = TRUE;
    src->pub.bytes_in_buffer = 0;   // the first read fills the buffer
    src->pub.next_input_byte = nullptr;
    c->src = &src->pub;
}

unsigned nextByte(j_decompress_ptr c)
{
    jpeg_source_mgr* src = c->src;
    if (src->bytes_in_buffer == 0)
        (*src->fill_input_buffer)(c);
    --src->bytes_in_buffer;
    return GETJOCTET(*src->next_input_byte++);
}

long segmentLength(j_decompress_ptr c)
{
    long length = long(nextByte(c)) << 8;
    length += long(nextByte(c));
    return length - 2;
}

// A COM segment is read past and forgotten, one byte at a time.
boolean skipComment(j_decompress_ptr c)
{
    long length = segmentLength(c);
    while (length-- > 0)
        nextByte(c);
    return TRUE;
}

// The first APP1 segment that holds EXIF data is kept (in one segment's
// 65533 bytes of room, however many APP1 segments the file has: XMP comes
// in them too); every other one is skipped.
boolean readApp1(j_decompress_ptr c)
{
    Session* s = sessionOf(c);
    long length = segmentLength(c);
    if (length <= 0)
        return TRUE;
    if (!s->exif) {
        if (!s->app1)
            s->app1 = static_cast<JOCTET*>(
                (*c->mem->alloc_small)(reinterpret_cast<j_common_ptr>(c), JPOOL_PERMANENT, 65536));
        JOCTET* buffer = s->app1;
        std::size_t n = 0;
        while (n < std::size_t(length)) {
            jpeg_source_mgr* src = c->src;
            if (src->bytes_in_buffer == 0)
                (*src->fill_input_buffer)(c);
            const std::size_t part = std::min(std::size_t(length) - n, src->bytes_in_buffer);
            std::memcpy(buffer + n, src->next_input_byte, part);
            src->next_input_byte += part;
            src->bytes_in_buffer -= part;
            n += part;
        }
        if (n >= 6 && std::memcmp(buffer, "Exif\0\0", 6) == 0) {
            s->exif = buffer;
            s->exifSize = unsigned(n);
        }
        return TRUE;
    }
    (*c->src->skip_input_data)(c, length);
    return TRUE;
}

// ------------------------------------------------------------ decoding

// How decoded samples become pixels: the library's own output already in our
// layout, or four ink samples that we turn into colour.
enum class Samples { Native, CMYK, AdobeCMYK };

#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr J_COLOR_SPACE nativePixels = JCS_EXT_BGRA;   // 0xAARRGGBB in a uint32
#else
constexpr J_COLOR_SPACE nativePixels = JCS_EXT_ARGB;
#endif

void initSession(Session& s, const DecodeControl* control, std::exception_ptr* sourceFailure)
{
    std::memset(&s, 0, sizeof s);
    useJpegErrorManager(reinterpret_cast<j_common_ptr>(&s.cinfo), s.err);
    s.cinfo.client_data = &s;
    s.progress.progress_monitor = monitorProgress;
    s.control = control;
    s.sourceFailure = sourceFailure;
}

bool readHeader(Session& s, ByteSource* source)
{
    if (setjmp(s.err.jump))
        return false;
    jpeg_create_decompress(&s.cinfo);
    jpeg_set_marker_processor(&s.cinfo, JPEG_COM, skipComment);
    jpeg_set_marker_processor(&s.cinfo, JPEG_APP0 + 1, readApp1);
    useSource(&s.cinfo, source);
    jpeg_read_header(&s.cinfo, TRUE);
    return true;
}

enum class Start { Failed, TooLarge, Unsupported, Started };

// What libjpeg itself will hold for the picture at its output size: the
// coefficients of the whole picture when the file has more than one scan,
// and its row buffers.
std::uint64_t libraryBytes(j_decompress_ptr c)
{
    std::uint64_t coefficients = 0;
    if (jpeg_has_multiple_scans(c)) {
        for (int i = 0; i < c->num_components; ++i) {
            const jpeg_component_info& comp = c->comp_info[i];
            const std::uint64_t w = (std::uint64_t(comp.width_in_blocks) + comp.h_samp_factor - 1) / comp.h_samp_factor * comp.h_samp_factor;
            const std::uint64_t h = (std::uint64_t(comp.height_in_blocks) + comp.v_samp_factor - 1) / comp.v_samp_factor * comp.v_samp_factor;
            coefficients += w * h * DCTSIZE2 * sizeof(JCOEF);
        }
    }
    const std::uint64_t rows = (std::uint64_t(c->output_width) + 64) * std::uint64_t(c->num_components) *
                               std::uint64_t(c->max_v_samp_factor) * DCTSIZE * 4;
    const std::uint64_t conversion = std::uint64_t(c->output_width) * std::uint64_t(c->out_color_components) * 8;
    return coefficients + rows + conversion + (std::uint64_t(1) << 20);
}

// Options, the budget, and the start of decompression. `extraHalvings` are
// done by averaging the library's rows; `beside` is memory held beside the
// library's own (the pixels, the shrinker, the caller's reserve).
Start startDecoding(Session& s, int libraryHalvings, int extraHalvings, std::uint64_t reserve)
{
    if (setjmp(s.err.jump))
        return Start::Failed;
    jpeg_decompress_struct& c = s.cinfo;
    if (std::uint64_t(c.image_width) * c.image_height * 4 > maxPictureBytes)
        return Start::TooLarge;
    if (libraryHalvings == 0) {
        c.scale_num = 100;   // a ratio of 1: full size
        c.scale_denom = 100;
    } else {
        c.scale_num = 1;
        c.scale_denom = 1u << libraryHalvings;
    }
    c.do_block_smoothing = TRUE;
    // Greyscale and colour pictures come out of the library as our own
    // pixels (a grey level in all three colours, opaque alpha), so rows are
    // decoded straight into the picture.
    if (c.out_color_space == JCS_GRAYSCALE || c.out_color_space == JCS_RGB)
        c.out_color_space = nativePixels;
    jpeg_calc_output_dimensions(&c);
    if (!(c.out_color_space == nativePixels && c.output_components == 4) &&
        !(c.out_color_space == JCS_CMYK && c.output_components == 4))
        return Start::Unsupported;
    const std::uint64_t pixels = std::uint64_t(scaledLength(int(c.output_width), extraHalvings)) *
                                 std::uint64_t(scaledLength(int(c.output_height), extraHalvings)) * 4;
    const std::uint64_t beside = pixels + RowShrinker::workBytes(int(c.output_width), extraHalvings) + reserve;
    const std::uint64_t budget = s.control->budget().maxBytes;
    if (beside > budget || libraryBytes(&c) > budget - beside)
        return Start::TooLarge;
    // The library's own limit for its large arrays, should our sum be short.
    c.mem->max_memory_to_use = long(budget - beside);
    c.progress = &s.progress;
    jpeg_start_decompress(&c);
    return Start::Started;
}

inline std::uint8_t mul255(unsigned a, unsigned b)
{
    const unsigned t = a * b + 128;
    return std::uint8_t((t + (t >> 8)) >> 8);
}

void convertCmykRow(const JSAMPLE* in, std::uint32_t* out, JDIMENSION width, bool adobe)
{
    for (JDIMENSION j = 0; j < width; ++j, in += 4) {
        unsigned c = in[0], m = in[1], y = in[2], k = in[3];
        if (!adobe) {   // Adobe writes the inks inverted: 255 is no ink
            c = 255u - c, m = 255u - m, y = 255u - y, k = 255u - k;
        }
        out[j] = 0xFF000000u | (std::uint32_t(mul255(c, k)) << 16) | (std::uint32_t(mul255(m, k)) << 8) | mul255(y, k);
    }
}

// Reads every row, eight at a time, top line first, then finishes the
// datastream, so that a warning at its very end still fails the decode.
// Rows go straight into `direct` when given, else through the shrinker.
bool decodeRows(Session& s, PixelBuffer* direct, RowShrinker* shrinker, Samples kind)
{
    if (setjmp(s.err.jump))
        return false;
    jpeg_decompress_struct& c = s.cinfo;
    JSAMPROW rowPointers[8];
    JSAMPARRAY rows = rowPointers;
    if (!direct)
        rows = (*c.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&c), JPOOL_IMAGE,
                                      c.output_width * JDIMENSION(c.output_components), 8);
    while (c.output_scanline < c.output_height) {
        const JDIMENSION first = c.output_scanline;
        if (direct) {
            const JDIMENSION n = std::min<JDIMENSION>(8, c.output_height - first);
            for (JDIMENSION i = 0; i < n; ++i)
                rowPointers[i] = reinterpret_cast<JSAMPROW>(direct->row(int(first + i)));
            jpeg_read_scanlines(&c, rows, n);
            continue;
        }
        const JDIMENSION got = jpeg_read_scanlines(&c, rows, 8);
        for (JDIMENSION i = 0; i < got; ++i) {
            const int y = int(first + i);
            std::uint32_t* target = shrinker->rowFor(y);
            if (kind == Samples::Native)
                std::memcpy(target, rows[i], std::size_t(c.output_width) * 4);
            else
                convertCmykRow(rows[i], target, c.output_width, kind == Samples::AdobeCMYK);
            shrinker->commit(y);
        }
    }
    jpeg_finish_decompress(&c);
    return true;
}

// Destroys the decoder whatever happened, then raises what ended it.
class Ending {
public:
    explicit Ending(Session& s) : s_(s) {}
    ~Ending() { jpeg_destroy_decompress(&s_.cinfo); }
    Ending(const Ending&) = delete;
    Ending& operator=(const Ending&) = delete;

private:
    Session& s_;
};

// What kind of fault the library's message names.
DecodeFault faultOf(int code)
{
    switch (code) {
    case JWRN_JPEG_EOF:
    case JERR_INPUT_EOF:
        return DecodeFault::CutShort;
    case JERR_INPUT_EMPTY:
        return DecodeFault::Empty;
    case JERR_NO_IMAGE:
        return DecodeFault::NoPicture;
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW:
        return DecodeFault::TooLarge;
    case JERR_BAD_PRECISION:
    case JERR_SOF_UNSUPPORTED:
    case JERR_ARITH_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_CCIR601_NOTIMPL:
    case JERR_COMPONENT_COUNT:
        return DecodeFault::Unsupported;
    default:
        return DecodeFault::Damaged;
    }
}

[[noreturn]] void raise(const Session& s, const std::exception_ptr& sourceFailure)
{
    if (sourceFailure)
        std::rethrow_exception(sourceFailure);
    switch (s.stop) {
    case Stop::Cancelled:
        throw DecodeCancelled();
    case Stop::Scans:
        throw DecodeError("Too many scans in the JPEG file (more than " + std::to_string(s.control->budget().maxScans) + ")");
    case Stop::Work:
        throw DecodeError("Too many scans in the JPEG file for a picture of " + std::to_string(s.cinfo.image_width) + " x " +
                          std::to_string(s.cinfo.image_height));
    default:
        throw DecodeError(s.err.message, faultOf(s.err.pub.msg_code));
    }
}

std::string tooLarge(const jpeg_decompress_struct& c)
{
    return pictureTooLargeText(c.image_width, c.image_height);
}

} // namespace

JpegHeader readJpegHeader(ByteSource& source, const DecodeControl& control)
{
    std::exception_ptr sourceFailure;
    Session s;
    initSession(s, &control, &sourceFailure);
    source.seek(0);
    JpegHeader header;
    {
        Ending ending(s);
        if (readHeader(s, &source)) {
            header.width = int(s.cinfo.image_width);
            header.height = int(s.cinfo.image_height);
            header.components = s.cinfo.num_components;
            header.orientation = exifOrientation(s.exif, s.exifSize);
            return header;
        }
    }
    raise(s, sourceFailure);
}

JpegPicture decodeJpeg(ByteSource& source, int halvings, const DecodeControl& control, std::uint64_t reserveBytes)
{
    std::exception_ptr sourceFailure;
    Session s;
    initSession(s, &control, &sourceFailure);
    source.seek(0);
    JpegPicture result;
    const int libraryHalvings = std::clamp(halvings, 0, 3);
    const int extraHalvings = std::max(0, halvings - 3);
    {
        Ending ending(s);
        if (!readHeader(s, &source))
            raise(s, sourceFailure);
        result.orientation = exifOrientation(s.exif, s.exifSize);
        switch (startDecoding(s, libraryHalvings, extraHalvings, reserveBytes)) {
        case Start::Failed:
            raise(s, sourceFailure);
        case Start::TooLarge:
            throw DecodeError(tooLarge(s.cinfo), DecodeFault::TooLarge);
        case Start::Unsupported:
            throw unsupportedJpegColours(s.cinfo.output_components);
        case Start::Started:
            break;
        }
        const jpeg_decompress_struct& c = s.cinfo;
        Samples kind = Samples::Native;
        if (c.out_color_space == JCS_CMYK)
            kind = c.saw_Adobe_marker ? Samples::AdobeCMYK : Samples::CMYK;
        const int width = scaledLength(int(c.output_width), extraHalvings);
        const int height = scaledLength(int(c.output_height), extraHalvings);
        result.pixels = PixelBuffer::allocate(width, height);
        const bool direct = kind == Samples::Native && extraHalvings == 0;
        RowShrinker shrinker(result.pixels, int(c.output_width), int(c.output_height), extraHalvings);
        if (!decodeRows(s, direct ? &result.pixels : nullptr, &shrinker, kind))
            raise(s, sourceFailure);
        shrinker.finish();
    }
    return result;
}
