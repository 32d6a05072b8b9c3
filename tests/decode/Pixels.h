#pragma once
// Decoded pixels and QImage, both ways, so that the tests can compare
// pictures with QImage's own equality and build them with its transforms.
#include "decode/PixelBuffer.h"

#include <QImage>
#include <cstring>

inline QImage ToImage(const PixelBuffer& p)
{
    QImage image(p.width(), p.height(), QImage::Format_RGB32);
    for (int y = 0; y < p.height(); ++y)
        std::memcpy(image.scanLine(y), p.row(y), std::size_t(p.width()) * 4);
    return image;
}

inline PixelBuffer FromImage(const QImage& image)
{
    PixelBuffer p = PixelBuffer::allocate(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(p.row(y), image.constScanLine(y), std::size_t(image.width()) * 4);
    return p;
}
