#pragma once
// Pictures whose names do not fit a slot get a short-named twin in the
// project folder (ShortName.h), which is the name the slot then holds.
#include <QString>

// The name under which the picture `source` goes into the project folder
// `folder` (ending in '/') when its bare name is `name`: `name` itself when
// it fits a slot; else the short name of a file there that already holds the
// same picture; else the first free short name. Throws EGlimmerError when
// every short name is taken.
QString NameInProjectFolder(const QString& folder, const QString& name, const QString& source);
// The same, always a short name: also for a name that fits a slot but is
// taken there by another picture.
QString ShortNameInProjectFolder(const QString& folder, const QString& name, const QString& source);

// Gives the picture `name` of the project folder, whose name does not fit a
// slot, its short-named twin there, made from the file as it was opened
// (MakeTwin: an ordinary file, never through a link): a hard link where the
// file system allows one, else a copy; a twin already there is used as it
// is. Returns the short name. Throws EGlimmerError (or EInOutError) when no
// twin can be made.
QString MakeShortNamedTwin(const QString& folder, const QString& name);
