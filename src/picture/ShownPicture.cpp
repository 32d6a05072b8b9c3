#include "picture/ShownPicture.h"

#include "decode/Picture.h"
#include "picture/JPEGBitmap.h"
#include "toolkit/Graphics.h"

TShownPicture LoadShownPicture(TStream& stream, bool jpeg, QSize area, FitRule rule, const std::atomic<bool>* cancel)
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
            throw EJPEGError(QString::fromLocal8Bit(e.what()));
        throw EGlimmerError(QString::fromLocal8Bit(e.what()));
    }
}
