#pragma once
// Pictures whose names do not fit a slot get a short-named twin in the
// project folder (ShortName.h), which is the name the slot then holds.
#include <QString>

#include <functional>

// The short name under which a picture named `name` goes into the project
// folder `folder` (ending in '/') when its own name will not do: that of a
// short-named file there which `samePicture` (given its whole path) finds
// to hold this very picture; else the first free short name. Throws
// EGlimmerError when every short name is taken.
QString shortNameInProjectFolder(const QString& folder, const QString& name,
                                 const std::function<bool(const QString&)>& samePicture);

// Gives the picture `name` of the project folder, whose name does not fit a
// slot, its short-named twin there, made from the file as it was opened
// (MakeTwin: an ordinary file, never through a link): a hard link where the
// file system allows one, else a copy; a twin already there is used as it
// is. Returns the short name. Throws EGlimmerError (or EInOutError) when no
// twin can be made.
QString makeShortNamedTwin(const QString& folder, const QString& name);
