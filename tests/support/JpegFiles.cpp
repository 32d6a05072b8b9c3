#include "JpegFiles.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

QByteArray EncodeJpeg(const QImage& source, const JpegOptions& o)
{
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = JDIMENSION(image.width());
    c.image_height = JDIMENSION(image.height());
    int components = 3;
    switch (o.kind) {
    case JpegOptions::RGB:
        c.in_color_space = JCS_RGB;
        break;
    case JpegOptions::Grey:
        c.in_color_space = JCS_GRAYSCALE;
        components = 1;
        break;
    case JpegOptions::AdobeCMYK:
    case JpegOptions::PlainCMYK:
    case JpegOptions::AdobeYCCK:
        c.in_color_space = JCS_CMYK;
        components = 4;
        break;
    case JpegOptions::TwoComponents:
        c.in_color_space = JCS_UNKNOWN;
        components = 2;
        break;
    }
    c.input_components = components;
    jpeg_set_defaults(&c);
    if (o.kind == JpegOptions::TwoComponents)
        jpeg_set_colorspace(&c, JCS_UNKNOWN);
    if (o.kind == JpegOptions::PlainCMYK)
        c.write_Adobe_marker = FALSE;
    if (o.kind == JpegOptions::AdobeYCCK)
        jpeg_set_colorspace(&c, JCS_YCCK);
    jpeg_set_quality(&c, o.quality, TRUE);
    if (o.progressive)
        jpeg_simple_progression(&c);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(std::size_t(image.width()) * std::size_t(components));
    while (c.next_scanline < c.image_height) {
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(int(c.next_scanline)));
        for (int x = 0; x < image.width(); ++x) {
            const int r = qRed(in[x]), g = qGreen(in[x]), b = qBlue(in[x]);
            JSAMPLE* p = &row[std::size_t(x) * std::size_t(components)];
            switch (o.kind) {
            case JpegOptions::RGB:
                p[0] = JSAMPLE(r), p[1] = JSAMPLE(g), p[2] = JSAMPLE(b);
                break;
            case JpegOptions::Grey:
                p[0] = JSAMPLE(g);
                break;
            case JpegOptions::AdobeCMYK:   // inverted: 255 means no ink
            case JpegOptions::AdobeYCCK:
                p[0] = JSAMPLE(r), p[1] = JSAMPLE(g), p[2] = JSAMPLE(b), p[3] = 255;
                break;
            case JpegOptions::PlainCMYK:
                p[0] = JSAMPLE(255 - r), p[1] = JSAMPLE(255 - g), p[2] = JSAMPLE(255 - b), p[3] = 0;
                break;
            case JpegOptions::TwoComponents:
                p[0] = JSAMPLE(r), p[1] = JSAMPLE(g);
                break;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(outSize));
    std::free(out);
    return bytes;
}

QImage TestPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(40 + 160 * x / std::max(1, width - 1), 200 - 150 * y / std::max(1, height - 1), 90));
    return image;
}

QByteArray InsertAfterSoi(const QByteArray& jpeg, const QByteArray& bytes)
{
    return jpeg.left(2) + bytes + jpeg.mid(2);
}

namespace {
// Offsets of the segments' markers up to the first SOS.
qsizetype FindMarker(const QByteArray& jpeg, unsigned char code)
{
    const auto* p = reinterpret_cast<const unsigned char*>(jpeg.constData());
    qsizetype i = 2;
    while (i + 4 <= jpeg.size() && p[i] == 0xFF) {
        if (p[i + 1] == code)
            return i;
        if (p[i + 1] == 0xDA)
            return -1;
        i += 2 + ((p[i + 2] << 8) | p[i + 3]);
    }
    if (code == 0xD9 && jpeg.endsWith("\xFF\xD9"))
        return jpeg.size() - 2;
    return -1;
}
} // namespace

QByteArray InsertBeforeMarker(const QByteArray& jpeg, unsigned char code, const QByteArray& bytes)
{
    const qsizetype at = FindMarker(jpeg, code);
    if (at < 0)
        return QByteArray();
    return jpeg.left(at) + bytes + jpeg.mid(at);
}

QByteArray Segment(unsigned char code, const QByteArray& payload)
{
    const int length = int(payload.size()) + 2;
    QByteArray s;
    s.append(char(0xFF)).append(char(code)).append(char(length >> 8)).append(char(length & 0xFF));
    return s + payload;
}

QByteArray FirstSegment(const QByteArray& jpeg, unsigned char code)
{
    const qsizetype at = FindMarker(jpeg, code);
    if (at < 0)
        return QByteArray();
    const auto* p = reinterpret_cast<const unsigned char*>(jpeg.constData());
    const int length = (p[at + 2] << 8) | p[at + 3];
    return jpeg.mid(at + 4, length - 2);
}

QByteArray ExifSegment(int orientation, bool bigEndian, int type)
{
    auto u16 = [&](QByteArray& b, int v) {
        if (bigEndian)
            b.append(char(v >> 8)).append(char(v & 0xFF));
        else
            b.append(char(v & 0xFF)).append(char(v >> 8));
    };
    auto u32 = [&](QByteArray& b, std::uint32_t v) {
        if (bigEndian) {
            u16(b, int(v >> 16));
            u16(b, int(v & 0xFFFF));
        } else {
            u16(b, int(v & 0xFFFF));
            u16(b, int(v >> 16));
        }
    };
    QByteArray tiff(bigEndian ? "MM" : "II");
    u16(tiff, 42);
    u32(tiff, 8);
    u16(tiff, 3);   // entries
    u16(tiff, 0x010F), u16(tiff, 2), u32(tiff, 4), tiff.append("Cam", 4);   // Make
    u16(tiff, 0x0110), u16(tiff, 2), u32(tiff, 4), tiff.append("One", 4);   // Model
    u16(tiff, 0x0112), u16(tiff, type), u32(tiff, 1);
    if (type == 3) {
        u16(tiff, orientation);
        u16(tiff, 0);
    } else {
        u32(tiff, std::uint32_t(orientation));
    }
    u32(tiff, 0);   // no next IFD
    return Segment(0xE1, QByteArray("Exif\0\0", 6) + tiff);
}

QByteArray WithOrientation(const QByteArray& jpeg, int orientation)
{
    return InsertAfterSoi(jpeg, ExifSegment(orientation, true));
}
