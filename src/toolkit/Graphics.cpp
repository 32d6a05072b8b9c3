#include "toolkit/Graphics.h"

#include "decode/Bitmap.h"
#include "decode/PixelBuffer.h"

#include <QGuiApplication>
#include <QIODevice>
#include <QImageWriter>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <algorithm>
#include <cstring>
#include <vector>

QImage ImageFromPixels(PixelBuffer pixels)
{
    if (pixels.empty())
        return QImage();
    const int w = pixels.width(), h = pixels.height();
    const qsizetype stride = qsizetype(pixels.stride());
    const PixelBuffer::Released r = pixels.release();
    QImage image(reinterpret_cast<uchar*>(r.pixels), w, h, stride, QImage::Format_RGB32, PixelBuffer::freeReleased, r.token);
    if (image.isNull())
        PixelBuffer::freeReleased(r.token);
    return image;
}

namespace {

// Lets Qt's image writer work on our stream. Unbuffered, so that nothing
// stays behind in a buffer of the device.
class StreamDevice : public QIODevice {
public:
    explicit StreamDevice(TStream& stream) : stream_(stream), origin_(stream.Position()) {}
    bool isSequential() const override { return false; }
    qint64 size() const override
    {
        try {
            return std::max<qint64>(0, stream_.Size() - origin_);
        } catch (const std::exception&) {
            return 0;
        }
    }
    bool seek(qint64 pos) override
    {
        try {
            stream_.Seek(origin_ + pos, SEEK_SET);
        } catch (const std::exception& e) {
            error_ = e.what();
            return false;
        }
        return QIODevice::seek(pos);
    }
    // The first failure of the stream itself, to be raised as it was.
    const std::string& StreamError() const { return error_; }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        try {
            return qint64(stream_.Read(data, std::size_t(maxSize)));
        } catch (const std::exception& e) {
            error_ = e.what();
            return -1;
        }
    }
    qint64 writeData(const char* data, qint64 maxSize) override
    {
        try {
            const std::size_t n = stream_.Write(data, std::size_t(maxSize));
            return n == std::size_t(maxSize) ? qint64(n) : -1;
        } catch (const std::exception& e) {
            error_ = e.what();
            return -1;
        }
    }

private:
    TStream& stream_;
    std::int64_t origin_;
    std::string error_;
};

} // namespace


void TGraphic::Changed()
{
    if (OnChange)
        OnChange();
}

void TGraphic::LoadFromFile(const QString& name)
{
    THandleStream stream(name, TFileStream::fmOpenRead);
    LoadFromStream(stream);
    stream.Close();
}

void TGraphic::SaveToFile(const QString& name) const
{
    THandleStream stream(name, TFileStream::fmCreate);
    SaveToStream(stream);
    stream.Close();
}

void TGraphic::LoadFromMemory(const void* data, std::size_t size)
{
    TMemoryStream stream(data, size);
    LoadFromStream(stream);
}

void TBitmap::Draw(QPainter& painter, const QRect& dest) const
{
    if (image_.isNull() || dest.isEmpty())
        return;
    if (dest.width() == image_.width() && dest.height() == image_.height())
        painter.drawImage(dest.topLeft(), image_);
    else
        painter.drawImage(dest, image_);
}

std::unique_ptr<TGraphic> TBitmap::NewOfSameClass() const { return std::make_unique<TBitmap>(); }

void TBitmap::Assign(const TGraphic& source)
{
    const auto* bitmap = dynamic_cast<const TBitmap*>(&source);
    if (!bitmap)
        throw EGlimmerError(QStringLiteral("Cannot assign this graphic to a bitmap"));
    SetImage(bitmap->image_);
}

void TBitmap::SetImage(const QImage& image)
{
    if (image.isNull() || image.format() == QImage::Format_RGB32)
        image_ = image;
    else if (image.hasAlphaChannel()) {
        // A screen bitmap has no see-through pixels: alpha is dropped and the
        // colours stay as they are (not blended against black).
        QImage opaque = image.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < opaque.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(opaque.scanLine(y));
            for (int x = 0; x < opaque.width(); ++x)
                row[x] |= 0xff000000u;
        }
        opaque.reinterpretAsFormat(QImage::Format_RGB32);
        image_ = opaque;
    } else
        image_ = image.convertToFormat(QImage::Format_RGB32);
    ++generation_;
    Changed();
}

void TBitmap::LoadFromStream(TStream& stream)
{
    TStreamSource source(stream);
    QImage image;
    try {
        image = ImageFromPixels(decodeBitmap(source, 0, DecodeControl()));
    } catch (const DecodeError& e) {
        throw EGlimmerError(MessageText(e.what()));
    }
    if (image.isNull())
        throw EGlimmerError(QString::fromLatin1(SInvalidBitmap));
    SetImage(image);
}

void TBitmap::SaveToStream(TStream& stream) const
{
    StreamDevice device(stream);
    device.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    QImageWriter writer(&device, "bmp");
    const bool ok = writer.write(image_.isNull() ? QImage(0, 0, QImage::Format_RGB32) : image_.convertToFormat(QImage::Format_RGB888));
    if (!device.StreamError().empty())
        throw EGlimmerError(MessageText(device.StreamError()));
    if (!ok)
        throw EInOutError(IOCode::DiskFull);
}

QColor ButtonFaceColor()
{
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
}
