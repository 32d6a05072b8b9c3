#pragma once
// The picture in Windows device-independent bitmap layout, as the JPEG coder
// hands it over: a 40-byte BITMAPINFOHEADER and a pixel block of bottom-up
// rows, each pixel blue, green, red, each row padded to a multiple of 4 bytes.
#include <QByteArray>
#include <QImage>
#include <cstdint>

class TTransferImage {
public:
    static constexpr int HeaderSize = 40;

    // The 24-bit transfer image of a picture.
    static TTransferImage FromImage(const QImage& image);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int BitCount() const { return 24; }
    int Stride() const { return stride_; }
    // Row r counted from the bottom line of the picture.
    const unsigned char* Row(int r) const
    {
        return reinterpret_cast<const unsigned char*>(pixels_.constData()) + std::ptrdiff_t(r) * stride_;
    }
    const QByteArray& Header() const { return header_; }   // BITMAPINFOHEADER, little-endian
    const QByteArray& Pixels() const { return pixels_; }   // biSizeImage bytes

    // Bytes per row at 24 bits: 3 x width rounded up to a multiple of 4.
    static int StrideFor(int width) { return (width * 24 + 31) / 32 * 4; }

private:
    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;
    QByteArray header_;
    QByteArray pixels_;
};
