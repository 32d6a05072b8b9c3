#include "picture/ShownPicture.h"

#include "decode/Picture.h"
#include "picture/JPEGBitmap.h"
#include "toolkit/Graphics.h"

TShownPicture loadShownPicture(TStream& stream, bool jpeg, QSize area, FitRule rule, const std::atomic<bool>* cancel)
{
    TStreamSource source(stream);
    try {
        FittedPicture fitted = decodeToFit(source, jpeg ? PictureFormat::Jpeg : PictureFormat::Bitmap, area.width(),
                                           area.height(), rule, DecodeControl(cancel));
        TShownPicture shown;
        shown.Size = QSize(fitted.shownWidth(), fitted.shownHeight());
        shown.Halvings = fitted.halvings;
        shown.Image = ImageFromPixels(std::move(fitted.pixels));
        if (shown.Image.isNull())
            throw DecodeError(jpeg ? "Picture too large" : invalidBitmapText);
        return shown;
    } catch (const DecodeError& e) {
        if (jpeg)
            throw EJPEGError(MessageText(e.what()));
        throw EGlimmerError(MessageText(e.what()));
    }
}

QImage imageOf(std::shared_ptr<const FittedPicture> picture)
{
    if (!picture || picture->pixels.empty())
        return QImage();
    const PixelBuffer& pixels = picture->pixels;
    auto* keep = new std::shared_ptr<const FittedPicture>(std::move(picture));
    const QImage image(reinterpret_cast<const uchar*>(pixels.row(0)), pixels.width(), pixels.height(),
                       qsizetype(pixels.stride()), QImage::Format_RGB32,
                       [](void* p) { delete static_cast<std::shared_ptr<const FittedPicture>*>(p); }, keep);
    if (image.isNull())
        delete keep;
    return image;
}
