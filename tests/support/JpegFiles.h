#pragma once
// JPEG data for the tests, written with libjpeg itself (not through the
// program's encoder), so that the decoder is checked against an independent
// writer. Also small helpers to edit a datastream marker by marker.
#include <QByteArray>
#include <QImage>

struct JpegOptions {
    enum Kind { RGB, Grey, AdobeCMYK, PlainCMYK, AdobeYCCK, TwoComponents } kind = RGB;
    int quality = 95;
    bool progressive = false;
};

// Encodes `image` (RGB32). For the CMYK kinds each pixel's red, green and
// blue give C, M, Y (as 255 - colour) and K = 0, written inverted the way
// Adobe writes them for AdobeCMYK and AdobeYCCK (which stores them as YCCK)
// and plain otherwise.
QByteArray EncodeJpeg(const QImage& image, const JpegOptions& options = {});

// A picture of the given size with distinct, smooth colours.
QImage TestPicture(int width, int height);

// Inserts bytes right after the SOI marker (a COM or APPn segment, or junk).
QByteArray InsertAfterSoi(const QByteArray& jpeg, const QByteArray& bytes);
// Inserts bytes right before the first marker with the given code.
QByteArray InsertBeforeMarker(const QByteArray& jpeg, unsigned char code, const QByteArray& bytes);
// A marker segment: FF code, two-byte length (high byte first), payload.
QByteArray Segment(unsigned char code, const QByteArray& payload);
// The payload of the first segment with the given code (empty when none).
QByteArray FirstSegment(const QByteArray& jpeg, unsigned char code);
// An APP1 segment holding EXIF data with the one Orientation tag in IFD0
// (after a few other tags, as cameras write them); type 3 is a short, 4 a long.
QByteArray ExifSegment(int orientation, bool bigEndian = false, int type = 3);

// The datastream with such a segment right after its SOI, as a phone writes it.
QByteArray WithOrientation(const QByteArray& jpeg, int orientation);
