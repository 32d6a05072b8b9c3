#pragma once
// Photos in the formats people have today (PNG, HEIC/HEIF/AVIF, WebP, TIFF,
// GIF) made into JPEG on their way into a project, whose pictures, store and
// players know BMP and JPEG only. HEIC, HEIF and AVIF are read by libheif,
// the others by Qt's image readers (PNG and GIF built in, WebP and TIFF from
// qt6-image-formats-plugins), which give the same pixels as the formats'
// own libraries. Only these formats are taken, told by their first bytes;
// Qt's other readers never see a file. Safe on any thread: nothing here
// touches a window.
#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdint>

// The largest photo taken in: beyond today's 48- and 50-megapixel phones and
// an A4 page scanned at 600 dpi, and one the show still decodes.
inline constexpr std::uint64_t MaxPhotoPixels = 100'000'000;

// The file masks of the formats converted ("*.png;*.heic;...").
QString convertedPhotoMask();
// True when the name's extension is one of them, in any letter case.
bool isConvertedPhotoName(const QString& name);

// What the file's first bytes say it is, among the formats taken ("png",
// "gif", "tiff", "webp", "heif"), whatever its name; empty for any other.
QByteArray photoFormatOf(const QString& fileName);

// The photo's pixels as 8-bit RGB (QImage::Format_RGB888): turned upright by
// its orientation (EXIF in PNG, WebP and TIFF; HEIF's own rotation and
// mirroring), laid over `background` (0x00BBGGRR) where it is transparent,
// the first picture of an animation. The file is opened once, as every file
// of the program: only an ordinary file, never waiting. Throws EGlimmerError
// naming `shownName` when the file cannot be read, is empty, damaged or cut
// short, is of another format, has more than MaxPhotoPixels pixels or more
// than a JPEG can hold on a side, or when memory cannot be had ("Not enough
// memory").
QImage readPhoto(const QString& fileName, quint32 background, const QString& shownName);

// readPhoto's pixels as a JPEG file's bytes at quality 92, without the
// orientation tag or any other metadata.
QByteArray photoToJpeg(const QString& fileName, quint32 background, const QString& shownName);
inline constexpr int ConvertedJpegQuality = 92;
