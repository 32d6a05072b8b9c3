#pragma once
// The door of the project folder: a picture that Locate copies or Select
// puts into a slot is judged by its content, whatever its name. A JPEG or a
// bitmap is checked (headers, and a JPEG's data to its end, without a
// decode) and goes in as it is; anything else goes to the photo converter;
// a file that nothing can read is refused before anything is copied or put
// into a slot, named, with a plain reason.
#include <QString>

// "The file broken half.jpg is not a picture that can be shown: it is cut
// short."
QString refusedPictureText(const QString& name, const QString& reason);

struct DoorPass {
    bool Convert = false;   // to the photo converter
    // The name it goes in under before a short name is chosen: the given
    // one, or for a JPEG or a bitmap that a slot would not take by its name
    // (PHOTO.PNG, say, that is a JPEG) that name with ".JPG" or ".BMP".
    QString Name;
};

// Judges the file `path`, which is to go in as `name`. Throws EGlimmerError
// with refusedPictureText for `shownName` when it cannot be shown. A file
// that cannot be opened or read passes as it is, for the copy to report.
DoorPass passDoor(const QString& path, const QString& name, const QString& shownName);

// True when the file's first bytes are not those of a JPEG or a bitmap
// (a file that cannot be read counts as one of them).
bool goesToConverter(const QString& path);
