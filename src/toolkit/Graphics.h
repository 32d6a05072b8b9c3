#pragma once
// Pictures as the program sees them: a byte stream to load from and save to,
// graphics that know their size and how to draw themselves, the bitmap (on
// QImage, pixels shared between copies), the picture holder, and the registry
// that picks a graphic class by file extension.
#include "decode/ByteSource.h"
#include "decode/DecodeControl.h"
#include "decode/DecodeError.h"
#include "toolkit/Files.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

class PixelBuffer;
class QPainter;
class QRect;

// ---------------------------------------------------------------- streams

// A byte stream. Read and Write move the position and return short counts
// only at the end of the data (or when the medium is full); failures of the
// medium itself throw EInOutError.
class TStream {
public:
    virtual ~TStream() = default;
    virtual std::size_t Read(void* buffer, std::size_t n) = 0;
    virtual std::size_t Write(const void* buffer, std::size_t n) = 0;
    virtual std::int64_t Seek(std::int64_t offset, int whence) = 0;   // SEEK_SET/CUR/END
    virtual std::int64_t Size() = 0;
    std::int64_t Position() { return Seek(0, SEEK_CUR); }
    void ReadBuffer(void* buffer, std::size_t n);          // exactly n or "Read beyond end of file"
    void WriteBuffer(const void* buffer, std::size_t n);   // exactly n or "Disk full"
};

// A file as a stream. Opens the file itself (names resolve case-insensitively,
// like every file of the program) or reads through one the caller has open.
class THandleStream : public TStream {
public:
    THandleStream(const QString& name, TFileStream::Mode mode, TFileStream::Links links = TFileStream::FollowLinks);
    explicit THandleStream(TFileStream& file);   // not owned
    std::size_t Read(void* buffer, std::size_t n) override;
    std::size_t Write(const void* buffer, std::size_t n) override;
    std::int64_t Seek(std::int64_t offset, int whence) override;
    std::int64_t Size() override;
    TFileStream& File() { return *file_; }
    void Close() { file_->Close(); }

private:
    std::unique_ptr<TFileStream> owned_;
    TFileStream* file_;
};

// Bytes in memory as a stream: either its own growable buffer, or a read-only
// view of bytes that the caller keeps alive (a range of a larger file).
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(QByteArray bytes);
    TMemoryStream(const void* data, std::size_t size);   // read-only view, not copied
    std::size_t Read(void* buffer, std::size_t n) override;
    std::size_t Write(const void* buffer, std::size_t n) override;   // 0 on a view
    std::int64_t Seek(std::int64_t offset, int whence) override;
    std::int64_t Size() override;
    // The whole content (a copy for a view).
    QByteArray Bytes() const;

private:
    QByteArray own_;
    const char* view_ = nullptr;
    std::size_t viewSize_ = 0;
    std::int64_t pos_ = 0;
    bool isView_ = false;
};

// A stream as a decoder's byte source; positions count from where the stream
// stood when the source was made. The stream's own errors pass through.
class TStreamSource final : public ByteSource {
public:
    explicit TStreamSource(TStream& stream) : stream_(stream), origin_(stream.Position()) {}
    std::size_t read(void* buffer, std::size_t n) override { return stream_.Read(buffer, n); }
    void seek(std::uint64_t offset) override;
    std::uint64_t size() override;

private:
    TStream& stream_;
    std::int64_t origin_;
};

// The same over a stream it keeps.
class TOwnedStreamSource final : public ByteSource {
public:
    explicit TOwnedStreamSource(std::unique_ptr<TStream> stream) : stream_(std::move(stream)), source_(*stream_) {}
    std::size_t read(void* buffer, std::size_t n) override { return source_.read(buffer, n); }
    void seek(std::uint64_t offset) override { source_.seek(offset); }
    std::uint64_t size() override { return source_.size(); }

private:
    std::unique_ptr<TStream> stream_;
    TStreamSource source_;
};

// ---------------------------------------------------------------- graphics

// The one error text of a bitmap file that cannot be read.
inline constexpr const char* SInvalidBitmap = invalidBitmapText;

// The largest picture the program decodes, in bytes of 32-bit pixels: beyond
// it a load fails with a message instead of exhausting memory.
inline constexpr std::int64_t MaxPictureBytes = std::int64_t(maxPictureBytes);

// A picture (Format_RGB32) over decoded pixels, without a copy: the memory
// goes back when the last copy of the image ends. Null (the pixels given
// back) when a QImage cannot hold that size; the decoders' limits keep them
// within it.
QImage ImageFromPixels(PixelBuffer pixels);

// Something with a width, a height and a way to draw itself into a rectangle.
class TGraphic {
public:
    TGraphic() = default;
    TGraphic(const TGraphic&) = delete;
    TGraphic& operator=(const TGraphic&) = delete;
    virtual ~TGraphic() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Empty() const { return Width() <= 0 || Height() <= 0; }
    // Draws the graphic stretched into `dest` (at its own size when `dest`
    // has that size).
    virtual void Draw(QPainter& painter, const QRect& dest) const = 0;

    // A new, empty graphic of the same class.
    virtual std::unique_ptr<TGraphic> NewOfSameClass() const = 0;
    // Takes the content of `source` (of a compatible class); throws otherwise.
    virtual void Assign(const TGraphic& source) = 0;

    // Replaces the content by the data at the stream's position. On failure
    // it throws and the previous content stays.
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) const = 0;
    // Opens the named file read-only and loads from it; the file is closed
    // afterwards, also when the load fails.
    void LoadFromFile(const QString& name);
    void SaveToFile(const QString& name) const;
    // Loads from bytes in memory that the caller keeps alive during the call.
    void LoadFromMemory(const void* data, std::size_t size);

    // Called after every change of content (set by the holder that owns it).
    std::function<void()> OnChange;

protected:
    void Changed();
};

// The plain bitmap: 32-bit pixels (Format_RGB32) in a QImage. Copies share
// the pixels until one of them changes. Streams hold Windows bitmap files,
// read by our own reader (decode/Bitmap.h) and written by Qt's.
class TBitmap : public TGraphic {
public:
    TBitmap() = default;
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    void Draw(QPainter& painter, const QRect& dest) const override;
    std::unique_ptr<TGraphic> NewOfSameClass() const override;
    void Assign(const TGraphic& source) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) const override;

    const QImage& Image() const { return image_; }
    // Takes the picture (converted to 32-bit pixels when it has another
    // format); shares the pixels when it already has that format.
    void SetImage(const QImage& image);
    void Clear() { SetImage(QImage()); }
    // Counts every change of the picture, so that a viewer can tell whether a
    // result it keeps for this bitmap is still current.
    std::uint64_t Generation() const { return generation_; }

protected:
    QImage image_;

private:
    std::uint64_t generation_ = 0;
};

// Holds one graphic (or none) and reports every change of it.
class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;
    ~TPicture();

    TGraphic* Graphic() const { return graphic_.get(); }
    // Copies `graphic` into the holder: a new graphic of the same class that
    // takes the content (a bitmap shares the pixels). The caller keeps its
    // own. nullptr empties the holder.
    void SetGraphic(const TGraphic* graphic);
    void Assign(const TPicture& source) { SetGraphic(source.Graphic()); }
    TBitmap* Bitmap() const { return dynamic_cast<TBitmap*>(graphic_.get()); }

    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }

    // Picks the graphic class by the text after the last dot of the name
    // (lower-cased) and loads the file into a new graphic of it. On failure
    // the new graphic is discarded and the previous one stays.
    void LoadFromFile(const QString& name);
    // The same for bytes in memory that stand for a file of that name.
    void LoadFromMemory(const QString& name, const void* data, std::size_t size);

    std::function<void()> OnChange;

private:
    void Take(std::unique_ptr<TGraphic> graphic);
    void Changed();
    std::unique_ptr<TGraphic> graphic_;
};

// ------------------------------------------------------ picture-format registry

using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

struct TFileFormat {
    QString Extension;     // lower case, without the dot
    QString Description;
    TGraphicFactory Create;
};

// Enters a graphic class for an extension; the newest entry wins.
void RegisterFileFormat(const QString& extension, const QString& description, TGraphicFactory create);
// The newest entry for the extension (any case, without the dot), or nullptr.
const TFileFormat* FindFileFormat(const QString& extension);
// A new graphic for the file name's extension; throws
// "Unknown picture file extension (.%s)" when none is registered.
std::unique_ptr<TGraphic> NewGraphicForFile(const QString& name);

// The fill colour of buttons, used in place of a picture's colour key.
QColor ButtonFaceColor();
