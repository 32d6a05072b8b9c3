#include "toolkit/PictureFormats.h"

#include "toolkit/Graphics.h"

#include <vector>

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
