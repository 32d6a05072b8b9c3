#include "picture/TransferImage.h"

namespace {
void put16(char* p, std::uint16_t v)
{
    p[0] = char(v & 0xff);
    p[1] = char(v >> 8);
}
void put32(char* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((v >> (8 * i)) & 0xff);
}
} // namespace

TTransferImage TTransferImage::FromImage(const QImage& image)
{
    const QImage source = image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32
                              ? image
                              : image.convertToFormat(QImage::Format_RGB32);
    TTransferImage t;
    t.width_ = source.width();
    t.height_ = source.height();
    t.stride_ = StrideFor(t.width_);
    const std::uint32_t sizeImage = std::uint32_t(t.stride_) * std::uint32_t(t.height_);

    t.header_ = QByteArray(HeaderSize, '\0');
    char* h = t.header_.data();
    put32(h + 0, HeaderSize);                 // biSize
    put32(h + 4, std::uint32_t(t.width_));    // biWidth
    put32(h + 8, std::uint32_t(t.height_));   // biHeight > 0: rows bottom-up
    put16(h + 12, 1);                         // biPlanes
    put16(h + 14, 24);                        // biBitCount
    put32(h + 16, 0);                         // biCompression: BI_RGB
    put32(h + 20, sizeImage);                 // biSizeImage
    // biXPelsPerMeter, biYPelsPerMeter, biClrUsed, biClrImportant stay 0

    t.pixels_ = QByteArray(qsizetype(sizeImage), '\0');
    for (int y = 0; y < t.height_; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y));
        auto* out = reinterpret_cast<unsigned char*>(t.pixels_.data()) + std::ptrdiff_t(t.height_ - 1 - y) * t.stride_;
        for (int x = 0; x < t.width_; ++x) {
            out[3 * x] = uchar(qBlue(in[x]));
            out[3 * x + 1] = uchar(qGreen(in[x]));
            out[3 * x + 2] = uchar(qRed(in[x]));
        }
    }
    return t;
}
