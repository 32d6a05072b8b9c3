#pragma once
// One picture under two names: a twin made from the very file that was
// opened and checked (TFileStream with NoLinks: an ordinary file, not a
// link), and the tests that tell whether two names hold the same picture.
// Nothing here goes by a name again once the file is open, so a name swapped
// for a link to another file meanwhile cannot make these read or copy that
// file, and a pipe or device named like a picture is never waited on.
#include <QString>

class TFileStream;

// Makes `newName`, which must not exist, a twin of the file open in
// `source`: a second name of that same file where the file system allows a
// hard link to it, else a copy read from it. Throws EInOutError; a copy cut
// short is removed.
void MakeTwin(TFileStream& source, const QString& newName);

// True when the file open in `a` and the ordinary file `b` hold the same
// bytes (or are one file). Reads `a` from its start.
bool SameFileContents(TFileStream& a, const QString& b);
// The same for two names, both ordinary files.
bool SameFileContents(const QString& a, const QString& b);
