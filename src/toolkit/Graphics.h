#pragma once
// Pictures as the program sees them: graphics that know their size and how
// to draw themselves, and the bitmap (on QImage, pixels shared between
// copies). They load from streams (toolkit/Streams.h); the holder that picks
// a graphic class for a file is toolkit/PictureHolder.h.
#include "decode/DecodeControl.h"
#include "decode/DecodeError.h"
#include "toolkit/Streams.h"

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

// The fill colour of buttons, used in place of a picture's colour key.
QColor ButtonFaceColor();
