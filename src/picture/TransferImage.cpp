#include "picture/TransferImage.h"

#include "decode/ByteOrder.h"

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
    auto* h = reinterpret_cast<std::uint8_t*>(t.header_.data());
    putLe32(h + 0, HeaderSize);                 // biSize
    putLe32(h + 4, std::uint32_t(t.width_));    // biWidth
    putLe32(h + 8, std::uint32_t(t.height_));   // biHeight > 0: rows bottom-up
    putLe16(h + 12, 1);                         // biPlanes
    putLe16(h + 14, 24);                        // biBitCount
    putLe32(h + 16, 0);                         // biCompression: BI_RGB
    putLe32(h + 20, sizeImage);                 // biSizeImage
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
