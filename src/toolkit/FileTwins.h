#pragma once
// One picture under two names: a hard link, and the tests that tell whether
// two names hold the same picture. Symbolic links are never followed, and a
// name that is not an ordinary file is never opened, so a stranger's folder
// cannot make these read elsewhere or wait on a pipe.
#include <QString>

// Makes `newName` a second name of the file `existing`. False (errno set)
// when that cannot be done, e.g. where the file system has no hard links
// or `newName` exists.
bool LinkFile(const QString& existing, const QString& newName);

// True when both names are ordinary files with the same bytes (or one file).
bool SameFileContents(const QString& a, const QString& b);
