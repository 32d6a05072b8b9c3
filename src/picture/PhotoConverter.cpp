#include "picture/PhotoConverter.h"

#include "decode/ByteOrder.h"
#include "decode/Exif.h"
#include "picture/JPEGBitmap.h"
#include "toolkit/Files.h"
#include "toolkit/Graphics.h"

#include <QFile>
#include <QImageReader>
#include <QTransform>

#include <libheif/heif.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <unistd.h>

namespace {

const char* const convertedExtensions[] = {"png", "heic", "heif", "avif", "webp", "tif", "tiff", "gif"};

EGlimmerError unreadable(const QString& shownName, QString why)
{
    why = why.trimmed();   // libheif ends its messages with a line break
    while (why.endsWith(QLatin1Char('.')))
        why.chop(1);
    return EGlimmerError(QStringLiteral("The picture %1 cannot be read: %2.").arg(shownName, why));
}

// Qt's readers allocate up to 8 bytes a pixel (16-bit PNG and TIFF): their
// limit, in MiB, lets every photo under our own cap through.
[[maybe_unused]] const bool qtLimitSet =
    (QImageReader::setAllocationLimit(int((MaxPhotoPixels * 8 + (1 << 20) - 1) >> 20)), true);

bool tooLarge(int width, int height) { return std::uint64_t(width) * std::uint64_t(height) > MaxPhotoPixels; }

EGlimmerError tooLargeError(const QString& shownName, int width, int height)
{
    return unreadable(shownName, QStringLiteral("it has more than %1 megapixels (%2 x %3)")
                                     .arg(MaxPhotoPixels / 1000000)
                                     .arg(width)
                                     .arg(height));
}

EGlimmerError notEnoughMemory(const QString& shownName) { return unreadable(shownName, QStringLiteral("Not enough memory")); }

// libjpeg's largest side (JPEG_MAX_DIMENSION).
constexpr int MaxJpegSide = 65500;

// A photo that may come in: within our cap, and within what a JPEG can hold.
// Asked of the size a header claims, before the pixels are decoded, and of
// the pixels decoded, before they are used.
void checkSize(const QString& shownName, int width, int height)
{
    if (tooLarge(width, height))
        throw tooLargeError(shownName, width, height);
    if (width > MaxJpegSide || height > MaxJpegSide)
        throw unreadable(shownName, QStringLiteral("it is %1 x %2 pixels, and a JPEG can be at most %3 pixels wide or high")
                                        .arg(width)
                                        .arg(height)
                                        .arg(MaxJpegSide));
}

// Whether a picture of `size` could not have been decoded for want of
// memory: room for it at 4 bytes a pixel is asked for, and given back at
// once (untouched, it costs nothing).
bool noRoomFor(const QSize& size)
{
    if (!size.isValid())
        return false;
    const std::unique_ptr<uchar[]> room(new (std::nothrow) uchar[std::size_t(size.width()) * std::size_t(size.height()) * 4]);
    return !room;
}

// ------------------------------------------------ the orientation tag

// Qt's PNG and WebP readers leave the EXIF orientation alone: it is read
// here from the eXIf chunk of a PNG or the EXIF chunk of a WebP file.
int containerOrientation(QFile& file)
{
    constexpr qint64 maxExif = 1 << 20;   // far beyond any camera's
    auto orientationAt = [&](qint64 size) {
        if (size <= 0 || size > maxExif)
            return 1;
        const QByteArray exif = file.read(size);
        return tiffOrientation(reinterpret_cast<const std::uint8_t*>(exif.constData()), std::size_t(exif.size()));
    };
    const QByteArray head = file.read(12);
    if (head.startsWith("\x89PNG\r\n\x1a\n")) {
        file.seek(8);
        for (;;) {
            const QByteArray chunk = file.read(8);
            if (chunk.size() < 8 || chunk.mid(4) == "IEND")
                return 1;
            const auto* p = reinterpret_cast<const std::uint8_t*>(chunk.constData());
            const qint64 length = be32(p);
            if (chunk.mid(4) == "eXIf")
                return orientationAt(length);
            if (!file.seek(file.pos() + length + 4))
                return 1;
        }
    }
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP") {
        for (;;) {
            const QByteArray chunk = file.read(8);
            if (chunk.size() < 8)
                return 1;
            const auto* p = reinterpret_cast<const std::uint8_t*>(chunk.constData());
            const qint64 length = le32(p + 4);
            if (chunk.left(4) == "EXIF")
                return orientationAt(length);
            if (!file.seek(file.pos() + length + (length & 1)))
                return 1;
        }
    }
    return 1;
}

// Upright by an EXIF orientation (1 to 8): mirrored or flipped, then turned
// a quarter clockwise, as the tag's eight values are defined.
QImage turnedUpright(QImage image, int orientation)
{
    static const struct {
        bool mirror, flip, quarter;
    } steps[9] = {{}, {}, {true, false, false}, {true, true, false}, {false, true, false},
                  {false, true, true}, {false, false, true}, {true, false, true}, {true, true, true}};
    if (orientation < 2 || orientation > 8)
        return image;
    const auto& s = steps[orientation];
    image = std::move(image).mirrored(s.mirror, s.flip);
    return s.quarter && !image.isNull() ? image.transformed(QTransform().rotate(90)) : image;
}

// ------------------------------------------------ over the background

// Turns 4-byte pixels into 3-byte RGB in their own rows, laid over the
// background: pixel j is read (bytes 4j..4j+3) before bytes 3j..3j+2 are
// written, so one pass needs no second picture.
template <class Pixel>
void packOver(uchar* bits, int width, int height, qsizetype stride, quint32 background, Pixel readPixel)
{
    const int bg[3] = {int(background & 0xFF), int((background >> 8) & 0xFF), int((background >> 16) & 0xFF)};
    for (int y = 0; y < height; ++y) {
        uchar* row = bits + y * stride;
        for (int j = 0; j < width; ++j) {
            int c[3], a;
            bool premultiplied;
            readPixel(row + 4 * j, c, a, premultiplied);
            for (int i = 0; i < 3; ++i) {
                const int under = (bg[i] * (255 - a) + 127) / 255;
                const int v = premultiplied ? c[i] + under : (c[i] * a + bg[i] * (255 - a) + 127) / 255;
                row[3 * j + i] = uchar(v > 255 ? 255 : v);
            }
        }
    }
}

// The same pixels (`bits`, taken for writing) seen as RGB888, the picture
// kept alive by the view.
QImage asRgb888(QImage image, uchar* bits)
{
    const int w = image.width(), h = image.height();
    const qsizetype stride = image.bytesPerLine();
    auto* keep = new QImage(std::move(image));
    return QImage(bits, w, h, stride, QImage::Format_RGB888, [](void* p) { delete static_cast<QImage*>(p); }, keep);
}

// A picture from Qt's readers, 32 bits a pixel, made RGB888 in place.
// Converting it, or taking its pixels for writing from a reader that keeps
// a reference to it (GIF's), copies it: where that copy cannot be had, there
// are no pixels to use.
QImage packed(QImage image, quint32 background, const QString& shownName)
{
    const QImage::Format f = image.format();
    const QSize size = image.size();
    if (image.hasAlphaChannel()) {
        if (f != QImage::Format_ARGB32 && f != QImage::Format_ARGB32_Premultiplied)
            image.convertTo(QImage::Format_ARGB32);
    } else if (f != QImage::Format_RGB32) {
        image.convertTo(QImage::Format_RGB32);
    }
    const bool premultiplied = image.format() == QImage::Format_ARGB32_Premultiplied;
    const bool opaque = image.format() == QImage::Format_RGB32;
    uchar* bits = image.bits();
    if (!bits || image.size() != size || image.depth() != 32 || image.bytesPerLine() < qsizetype(size.width()) * 4)
        throw notEnoughMemory(shownName);
    packOver(bits, image.width(), image.height(), image.bytesPerLine(), background,
             [&](const uchar* p, int* c, int& a, bool& pre) {
                 quint32 v;
                 std::memcpy(&v, p, 4);
                 c[0] = int(qRed(v));
                 c[1] = int(qGreen(v));
                 c[2] = int(qBlue(v));
                 a = opaque ? 255 : qAlpha(v);
                 pre = premultiplied;
             });
    return asRgb888(std::move(image), bits);
}

// The size of a GIF's screen (its logical screen descriptor), on which
// Qt's reader draws the first picture whatever that picture claims.
QSize gifScreenSize(QFile& file)
{
    file.seek(0);
    const QByteArray b = file.read(10).mid(6);
    if (b.size() < 4)
        return {};
    const auto le16 = [&](int at) { return int(uchar(b[at])) | int(uchar(b[at + 1])) << 8; };
    return {le16(0), le16(2)};
}

// Qt's GIF reader shows a picture cut short without a word: the first
// picture's data must end, with its closing empty block, within the file.
bool gifFirstPictureEnds(QFile& file)
{
    const auto byte = [&](int& b) {
        char c;
        b = file.getChar(&c) ? uchar(c) : -1;
        return b >= 0;
    };
    const auto skip = [&](qint64 n) { return file.seek(file.pos() + n) && file.pos() <= file.size(); };
    const auto colourTable = [](int flags) { return flags & 0x80 ? 3 << ((flags & 7) + 1) : 0; };
    const auto skipBlocks = [&] {
        for (int n; byte(n);) {
            if (n == 0)
                return true;
            if (!skip(n))
                return false;
        }
        return false;
    };
    int flags;
    if (!file.seek(10) || !byte(flags) || !skip(2 + colourTable(flags)))
        return false;
    for (int b; byte(b);) {
        if (b == 0x2C)   // the picture: its place, flags, colours, code size, data
            return skip(8) && byte(flags) && skip(colourTable(flags) + 1) && skipBlocks();
        if (b != 0x21 || !skip(1) || !skipBlocks())   // else only extensions come before it
            return false;
    }
    return false;
}

QImage readWithQt(QFile& file, const QByteArray& taken, quint32 background, const QString& shownName)
{
    // A GIF's first picture is drawn on its screen, whose size its header
    // gives; the picture may claim less.
    const QSize screen = gifScreenSize(file);
    file.seek(0);
    // Read from what was opened, by the one reader of its kind.
    QImageReader reader(&file, taken);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (taken == "gif")
        size = size.expandedTo(screen);
    if (size.isValid())
        checkSize(shownName, size.width(), size.height());
    QImage image = reader.read();
    if (image.isNull())
        throw noRoomFor(size) ? notEnoughMemory(shownName) : unreadable(shownName, reader.errorString());
    // What was decoded may be larger than its header said.
    checkSize(shownName, image.width(), image.height());
    if (taken == "gif" && !gifFirstPictureEnds(file))
        throw unreadable(shownName, QStringLiteral("it is cut short"));
    if (reader.transformation() == QImageIOHandler::TransformationNone && file.seek(0))
        image = turnedUpright(std::move(image), containerOrientation(file));
    if (image.isNull())
        throw notEnoughMemory(shownName);
    return packed(std::move(image), background, shownName);
}

// ------------------------------------------------ HEIC and HEIF

struct HeifContext {
    HeifContext() : ctx(heif_context_alloc()) {}
    ~HeifContext()
    {
        if (handle)
            heif_image_handle_release(handle);
        heif_context_free(ctx);
    }
    HeifContext(const HeifContext&) = delete;
    HeifContext& operator=(const HeifContext&) = delete;
    heif_context* ctx;
    heif_image_handle* handle = nullptr;
};

// The formats taken in, told by their first bytes whatever the file's name:
// "png", "gif", "tiff", "webp" (Qt's readers, each asked for by name, so
// that no other of Qt's readers, MNG's or ICO's say, ever sees the file) or
// "heif" (libheif: HEIC, HEIF, AVIF); empty for anything else. `cutShort`
// tells a file that ends within the first bytes of one of them.
QByteArray takenFormatOf(QFile& file, bool* cutShort = nullptr)
{
    file.seek(0);
    const QByteArray head = file.read(64);
    static const std::pair<QByteArray, const char*> signatures[] = {
        {QByteArrayLiteral("\x89PNG\r\n\x1a\n"), "png"}, {QByteArrayLiteral("GIF87a"), "gif"},
        {QByteArrayLiteral("GIF89a"), "gif"},             {QByteArray("II*\0", 4), "tiff"},
        {QByteArray("MM\0*", 4), "tiff"},                 {QByteArray("II+\0", 4), "tiff"},
        {QByteArray("MM\0+", 4), "tiff"},
    };
    bool partial = false;
    for (const auto& [signature, format] : signatures) {
        if (head.startsWith(signature))
            return format;
        partial = partial || signature.startsWith(head);
    }
    if (head.startsWith("RIFF") && head.mid(8, 4) == "WEBP")
        return QByteArrayLiteral("webp");
    const heif_filetype_result heif = heif_check_filetype(reinterpret_cast<const uint8_t*>(head.constData()), int(head.size()));
    if (heif == heif_filetype_yes_supported || heif == heif_filetype_yes_unsupported)
        return QByteArrayLiteral("heif");
    if (cutShort)
        *cutShort = partial || (head.size() < 12 && (QByteArrayLiteral("RIFF").startsWith(head.left(4)) || heif == heif_filetype_maybe));
    return {};
}

// libheif reads the file that was opened, through its descriptor.
struct HeifSource {
    int fd;
    std::int64_t size;
    std::int64_t position = 0;
};

const heif_reader heifReader = {
    1,
    [](void* source) { return static_cast<HeifSource*>(source)->position; },
    [](void* data, size_t size, void* source) {
        auto* s = static_cast<HeifSource*>(source);
        for (size_t done = 0; done < size;) {
            const ssize_t n = ::pread(s->fd, static_cast<char*>(data) + done, size - done, off_t(s->position));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return 1;
            done += size_t(n);
            s->position += n;
        }
        return 0;
    },
    [](int64_t position, void* source) {
        auto* s = static_cast<HeifSource*>(source);
        if (position < 0 || position > s->size)
            return 1;
        s->position = position;
        return 0;
    },
    [](int64_t target, void* source) {
        return target > static_cast<HeifSource*>(source)->size ? heif_reader_grow_status_size_beyond_eof
                                                                : heif_reader_grow_status_size_reached;
    },
};

QImage readWithLibheif(TFileStream& file, quint32 background, const QString& shownName)
{
    static const bool initialised = (heif_init(nullptr), true);   // once, for the program's life
    (void)initialised;
    HeifContext c;
    HeifSource source{file.Handle(), file.Size()};
    heif_error err = heif_context_read_from_reader(c.ctx, &heifReader, &source, nullptr);
    if (err.code == heif_error_Ok)
        err = heif_context_get_primary_image_handle(c.ctx, &c.handle);
    if (err.code != heif_error_Ok)
        throw unreadable(shownName, QString::fromUtf8(err.message));
    const int w = heif_image_handle_get_width(c.handle), h = heif_image_handle_get_height(c.handle);
    // What its 'ispe' box claims, before rotation and cropping.
    const int claimedW = heif_image_handle_get_ispe_width(c.handle);
    const int claimedH = heif_image_handle_get_ispe_height(c.handle);
    if (tooLarge(claimedW, claimedH))
        throw tooLargeError(shownName, w, h);
    checkSize(shownName, w, h);
    if (w <= 0 || h <= 0 || claimedW <= 0 || claimedH <= 0)
        throw unreadable(shownName, QStringLiteral("it holds no picture"));
    // A stranger's file may claim a small picture and hold a huge one.
    // libheif checks the coded size of each stream, a grid's or overlay's
    // size and the pixels of the whole decode against its size limit before
    // it allocates them: the limit becomes the claimed size, give or take the
    // padding to whole coding blocks (at most 64 pixels a side).
    heif_context_set_maximum_image_size_limit(c.ctx, std::max(claimedW, claimedH) + 64);
    const bool alpha = heif_image_handle_has_alpha_channel(c.handle);
    const std::unique_ptr<heif_decoding_options, void (*)(heif_decoding_options*)> options(heif_decoding_options_alloc(),
                                                                                         heif_decoding_options_free);
    options->convert_hdr_to_8bit = 1;   // the rotation and mirroring are applied
    const QString notItsSize = QStringLiteral("its picture is not the size it says");
    heif_image* decoded = nullptr;
    err = heif_decode_image(c.handle, &decoded, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    // libheif says its size limit was met as a failed allocation.
    if (err.code == heif_error_Memory_allocation_error && err.subcode != heif_suberror_Security_limit_exceeded)
        throw notEnoughMemory(shownName);
    if (err.code != heif_error_Ok)
        throw unreadable(shownName, err.subcode == heif_suberror_Security_limit_exceeded ? notItsSize
                                                                                          : QString::fromUtf8(err.message));
    const auto release = [](void* image) { heif_image_release(static_cast<heif_image*>(image)); };
    int stride = 0;
    uchar* bits = heif_image_get_plane(decoded, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif_image_get_height(decoded, heif_channel_interleaved);
    if (!bits || width != w || height != h) {
        release(decoded);
        throw unreadable(shownName, notItsSize);
    }
    if (alpha) {
        const bool premultiplied = heif_image_handle_is_premultiplied_alpha(c.handle);
        packOver(bits, width, height, stride, background, [&](const uchar* p, int* rgb, int& a, bool& pre) {
            rgb[0] = p[0];
            rgb[1] = p[1];
            rgb[2] = p[2];
            a = p[3];
            pre = premultiplied;
        });
    }
    return QImage(bits, width, height, stride, QImage::Format_RGB888, release, decoded);
}

} // namespace

QString convertedPhotoMask()
{
    QStringList masks;
    for (const char* e : convertedExtensions)
        masks << QStringLiteral("*.") + QLatin1String(e);
    return masks.join(QLatin1Char(';'));
}

bool isConvertedPhotoName(const QString& name)
{
    const QString ext = ExtractFileExt(name).mid(1).toLower();
    for (const char* e : convertedExtensions)
        if (ext == QLatin1String(e))
            return true;
    return false;
}

QByteArray photoFormatOf(const QString& fileName)
{
    std::unique_ptr<TFileStream> opened;   // as readPhoto opens it
    try {
        opened = std::make_unique<TFileStream>(fileName, TFileStream::fmOpenRead);
    } catch (const EInOutError&) {
        return QByteArray();
    }
    QFile file;
    if (!file.open(opened->Handle(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return QByteArray();
    return takenFormatOf(file);
}

QImage readPhoto(const QString& fileName, quint32 background, const QString& shownName)
try {
    // Opened once, as every file of the program: only an ordinary file, and
    // never waiting (a pipe named like a photo would hold Locate for ever).
    std::unique_ptr<TFileStream> opened;
    try {
        opened = std::make_unique<TFileStream>(fileName, TFileStream::fmOpenRead);
    } catch (const EInOutError& e) {
        throw unreadable(shownName, e.Text());
    }
    QFile file;
    if (!file.open(opened->Handle(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        throw unreadable(shownName, file.errorString());
    if (opened->Size() == 0)
        throw unreadable(shownName, QStringLiteral("it is empty"));
    bool cutShort = false;
    const QByteArray taken = takenFormatOf(file, &cutShort);
    if (taken.isEmpty())
        throw unreadable(shownName, cutShort ? QStringLiteral("it is cut short")
                                             : QStringLiteral("it is not a PNG, GIF, TIFF, WebP, HEIC, HEIF or AVIF picture"));
    return taken == "heif" ? readWithLibheif(*opened, background, shownName) : readWithQt(file, taken, background, shownName);
} catch (const std::bad_alloc&) {
    throw notEnoughMemory(shownName);
}

QByteArray photoToJpeg(const QString& fileName, quint32 background, const QString& shownName)
{
    const QImage rgb = readPhoto(fileName, background, shownName);
    try {
        TMemoryStream out;
        writeJpeg(out, rgb, ConvertedJpegQuality);
        return out.Bytes();
    } catch (const std::bad_alloc&) {
    } catch (const EJPEGError& e) {
        // libjpeg's words for its own memory: "Insufficient memory (case N)".
        if (!e.Text().startsWith(QLatin1String("Insufficient memory")))
            throw EGlimmerError(QStringLiteral("The picture %1 cannot be converted: %2.").arg(shownName, e.Text()));
    }
    throw EGlimmerError(QStringLiteral("The picture %1 cannot be converted: Not enough memory.").arg(shownName));
}
