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

// ---------------------------------------------------------------- streams

void TStream::ReadBuffer(void* buffer, std::size_t n)
{
    if (Read(buffer, n) != n)
        throw EInOutError(100);
}

void TStream::WriteBuffer(const void* buffer, std::size_t n)
{
    if (Write(buffer, n) != n)
        throw EInOutError(101);
}

THandleStream::THandleStream(const QString& name, TFileStream::Mode mode, TFileStream::Links links)
    : owned_(std::make_unique<TFileStream>(name, mode, links)), file_(owned_.get())
{
}

THandleStream::THandleStream(TFileStream& file) : file_(&file) {}

std::size_t THandleStream::Read(void* buffer, std::size_t n) { return file_->Read(buffer, n); }
std::size_t THandleStream::Write(const void* buffer, std::size_t n) { return file_->Write(buffer, n); }
std::int64_t THandleStream::Seek(std::int64_t offset, int whence) { return file_->Seek(offset, whence); }
std::int64_t THandleStream::Size() { return file_->Size(); }

TMemoryStream::TMemoryStream(QByteArray bytes) : own_(std::move(bytes)) {}

TMemoryStream::TMemoryStream(const void* data, std::size_t size)
    : view_(static_cast<const char*>(data)), viewSize_(size), isView_(true)
{
}

std::int64_t TMemoryStream::Size()
{
    return isView_ ? std::int64_t(viewSize_) : std::int64_t(own_.size());
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t n)
{
    const std::int64_t size = Size();
    if (pos_ >= size || n == 0)
        return 0;
    const std::size_t count = std::min<std::size_t>(n, std::size_t(size - pos_));
    std::memcpy(buffer, (isView_ ? view_ : own_.constData()) + pos_, count);
    pos_ += std::int64_t(count);
    return count;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t n)
{
    if (isView_ || n == 0)
        return 0;
    const std::int64_t end = pos_ + std::int64_t(n);
    if (end > own_.size())
        own_.resize(qsizetype(end));   // a gap left by a seek past the end reads as zeros
    std::memcpy(own_.data() + pos_, buffer, n);
    pos_ = end;
    return n;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, int whence)
{
    std::int64_t base = 0;
    if (whence == SEEK_CUR)
        base = pos_;
    else if (whence == SEEK_END)
        base = Size();
    const std::int64_t target = base + offset;
    if (target < 0)
        throw EInOutError(131);   // the old "negative seek offset"
    if (isView_ && target > Size())
        pos_ = Size();
    else {
        if (!isView_ && target > own_.size()) {
            const qsizetype old = own_.size();
            own_.resize(qsizetype(target));
            std::memset(own_.data() + old, 0, std::size_t(target - old));
        }
        pos_ = target;
    }
    return pos_;
}

QByteArray TMemoryStream::Bytes() const
{
    return isView_ ? QByteArray(view_, qsizetype(viewSize_)) : own_;
}

void TStreamSource::seek(std::uint64_t offset)
{
    const std::int64_t end = stream_.Size();
    const std::uint64_t room = end > origin_ ? std::uint64_t(end - origin_) : 0;
    stream_.Seek(origin_ + std::int64_t(std::min(offset, room)), SEEK_SET);
}

std::uint64_t TStreamSource::size()
{
    const std::int64_t end = stream_.Size();
    return end > origin_ ? std::uint64_t(end - origin_) : 0;
}

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

// ---------------------------------------------------------------- graphics

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
        throw EInOutError(101);
}

// ---------------------------------------------------------------- holder

TPicture::~TPicture()
{
    if (graphic_)
        graphic_->OnChange = nullptr;
}

void TPicture::Changed()
{
    if (OnChange)
        OnChange();
}

void TPicture::Take(std::unique_ptr<TGraphic> graphic)
{
    if (graphic_)
        graphic_->OnChange = nullptr;
    graphic_ = std::move(graphic);
    if (graphic_)
        graphic_->OnChange = [this] { Changed(); };
    Changed();
}

void TPicture::SetGraphic(const TGraphic* graphic)
{
    if (!graphic) {
        Take(nullptr);
        return;
    }
    std::unique_ptr<TGraphic> copy = graphic->NewOfSameClass();
    copy->Assign(*graphic);
    Take(std::move(copy));
}

void TPicture::LoadFromFile(const QString& name)
{
    std::unique_ptr<TGraphic> graphic = NewGraphicForFile(name);
    graphic->LoadFromFile(name);
    Take(std::move(graphic));
}

void TPicture::LoadFromMemory(const QString& name, const void* data, std::size_t size)
{
    std::unique_ptr<TGraphic> graphic = NewGraphicForFile(name);
    graphic->LoadFromMemory(data, size);
    Take(std::move(graphic));
}

// ------------------------------------------------------ picture-format registry

namespace {
std::vector<TFileFormat>& formats()
{
    // Newest first; the bitmap is there from the start.
    static std::vector<TFileFormat> list{
        {QStringLiteral("bmp"), QStringLiteral("Bitmaps"), [] { return std::make_unique<TBitmap>(); }}};
    return list;
}
} // namespace

void RegisterFileFormat(const QString& extension, const QString& description, TGraphicFactory create)
{
    QString ext = extension.toLower();
    if (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    auto& list = formats();
    list.insert(list.begin(), TFileFormat{ext, description, std::move(create)});
}

const TFileFormat* FindFileFormat(const QString& extension)
{
    QString ext = extension.toLower();
    if (ext.startsWith(QLatin1Char('.')))
        ext.remove(0, 1);
    for (const TFileFormat& f : formats())
        if (f.Extension == ext)
            return &f;
    return nullptr;
}

std::unique_ptr<TGraphic> NewGraphicForFile(const QString& name)
{
    const QString base = ExtractFileName(name);
    const int dot = base.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? QString() : base.mid(dot + 1).toLower();
    const TFileFormat* format = FindFileFormat(ext);
    if (!format)
        throw EGlimmerError(QStringLiteral("Unknown picture file extension (.%1)").arg(ext));
    return format->Create();
}

QColor ButtonFaceColor()
{
    return QGuiApplication::palette().color(QPalette::Active, QPalette::Button);
}
