#pragma once
// A picture judged by its content as it comes into a project: what its first
// bytes say it is, and, for a JPEG or a bitmap, whether the show will be
// able to read it, found from its headers and, for a JPEG, a walk over its
// data to the end marker. Nothing is decoded: a 48-megapixel photo takes
// milliseconds.
#include "decode/ByteSource.h"
#include "decode/DecodeControl.h"
#include "decode/DecodeError.h"
#include "decode/Picture.h"

enum class PictureKind { Jpeg, Bitmap, Other };

// JPEG (FF D8 FF), bitmap ("BM"), or anything else, whatever its name.
PictureKind pictureKindOf(ByteSource& source);

// Reads the headers of a JPEG (libjpeg's jpeg_read_header) or a bitmap (our
// reader, which also finds rows that are missing) as the show does, and
// walks a JPEG's data to its end marker. Returns the picture's size. Throws
// DecodeError, whose fault() says what is wrong (a JPEG without its end
// marker is cut short), or what the source threw.
PictureInfo checkPicture(ByteSource& source, PictureKind kind, const DecodeControl& control = {});

// A fault in a few plain words, to follow "cannot be shown: ": "it is cut
// short".
const char* plainReason(DecodeFault fault);
