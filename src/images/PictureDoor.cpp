#include "images/PictureDoor.h"

#include "decode/PictureCheck.h"
#include "images/PicturePicker.h"
#include "picture/PhotoConverter.h"
#include "toolkit/FileControls.h"
#include "toolkit/Files.h"
#include "toolkit/Streams.h"

#include <optional>

QString refusedPictureText(const QString& name, const QString& reason)
{
    return QStringLiteral("The file %1 is not a picture that can be shown: %2.").arg(name, reason);
}

// Opened as every picture is (an ordinary file, never waited on); nothing
// when it cannot be opened or read.
static std::optional<PictureKind> kindOfFile(const QString& path, std::unique_ptr<THandleStream>& stream)
{
    try {
        stream = std::make_unique<THandleStream>(path, TFileStream::fmOpenRead);
        TStreamSource source(*stream);
        return pictureKindOf(source);
    } catch (const EInOutError&) {
        return std::nullopt;
    }
}

bool goesToConverter(const QString& path)
{
    std::unique_ptr<THandleStream> stream;
    return kindOfFile(path, stream) == PictureKind::Other;
}

DoorPass passDoor(const QString& path, const QString& name, const QString& shownName)
{
    std::unique_ptr<THandleStream> stream;
    const std::optional<PictureKind> kind = kindOfFile(path, stream);
    if (!kind)
        return {false, name};
    if (*kind == PictureKind::Other) {
        if (stream->Size() == 0)
            throw EGlimmerError(refusedPictureText(shownName, QString::fromLatin1(plainReason(DecodeFault::Empty))));
        stream.reset();
        if (photoFormatOf(path).isEmpty())
            throw EGlimmerError(refusedPictureText(shownName, QStringLiteral("it is not a JPEG, BMP, PNG, GIF, TIFF, WebP, HEIC, HEIF or AVIF picture")));
        return {true, name};
    }
    try {
        TStreamSource source(*stream);
        checkPicture(source, *kind);
    } catch (const DecodeError& e) {
        throw EGlimmerError(refusedPictureText(shownName, QString::fromLatin1(plainReason(e.fault()))));
    } catch (const EInOutError&) {
        return {false, name};   // the copy reads it again and says what failed
    }
    if (TFileListBox::MatchesMask(name, QLatin1String(SlotPictureMask)))
        return {false, name};
    return {false, ChangeFileExt(name, *kind == PictureKind::Jpeg ? QStringLiteral(".JPG") : QStringLiteral(".BMP"))};
}
