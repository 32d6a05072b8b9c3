#include "picture/Registration.h"

#include "picture/JPEGBitmap.h"
#include "toolkit/Graphics.h"
#include "toolkit/PictureFormats.h"

void registerPictureFormats()
{
    static bool done = false;   // a second call would only add duplicate entries
    if (done)
        return;
    done = true;
    RegisterFileFormat(QStringLiteral("jpg"), QStringLiteral("JPG"), [] { return std::make_unique<TJPEGBitmap>(); });
    RegisterFileFormat(QStringLiteral("jpeg"), QStringLiteral("JPEG"), [] { return std::make_unique<TJPEGBitmap>(); });
}
