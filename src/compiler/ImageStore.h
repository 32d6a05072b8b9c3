#pragma once
// The compiler: packs the settings record and the bytes of every distinct
// picture into the image store (NAME.SSC) and joins it to the player file
// GLIMMER.BIN to make the standalone screensaver NAME.SCR.
//
// Image store: the 235-byte record, then the bytes of each distinct picture
// in order of first occurrence in slots 1 to 10, without gaps; Offset counts
// from the store's first byte. NAME.SCR: the bytes of GLIMMER.BIN, then the
// store, nothing else.
#include "project/Project.h"
#include "project/SlotNames.h"
#include "toolkit/FileCopy.h"
#include "toolkit/Files.h"

#include <QString>
#include <QStringList>
#include <optional>

// A failure of the compile with its own message (shown with ShowError).
class ECompileError : public EGlimmerError {
public:
    using EGlimmerError::EGlimmerError;
};

// The Windows screensaver, WINDOWS/NAME.SCR in the project folder: the
// Windows player GLIMMER.EXE followed by the same image store. Made by a
// compile when GLIMMER.EXE lies beside the program, after NAME.SCR is
// complete; its failure leaves NAME.SCR as written.
struct TWindowsSaver {
    enum { NoPlayer, Written, Failed } State = NoPlayer;
    QString Name;      // "WINDOWS/NAME.SCR", in the project folder
    QString Problem;   // Failed: what to tell the user
};

// The folder of the project folder that holds the Windows screensaver.
inline constexpr char WindowsFolderName[] = "WINDOWS";

// What a compile wrote: NAME.SCR under the name it has on disk (a file
// whose name differs from it only in letter case is replaced and keeps its
// name, as names resolve in the project folder), and the Windows screensaver.
struct TCompiled {
    QString SaverName;
    TWindowsSaver Windows;
};

// Compiles the screensaver `screenSaverName` from `settings` in the current
// folder, which its caller made the project folder (the pictures are opened
// there by their slot names; a folder held open could lead beneath what is
// mounted over it now), with the players of `programFolder`, and returns when
// NAME.SCR has been written. It shows nothing itself: its own failures ("The
// graphic ... was not found.", a missing GLIMMER.BIN, ...) come out as
// ECompileError, for the caller to show as the compile's own message; a
// failed read or write as EInOutError, for the standard error report.
// Whatever way it fails, the half-built screensaver is gone and an existing
// NAME.SCR is as it was. An empty slot among 1 to ImageCount is left out and
// the slots after it close up (SaverSettings::WithoutEmptySlots) in the
// screensaver only. Once NAME.SCR is written, sets Name, Offset and Size of
// slots 1 to ImageCount in `settings` and nothing else; does not save the
// project file. After NAME.SCR, the Windows screensaver: what became of it is
// returned, for the caller to tell.
TCompiled CompileScreenSaver(SaverSettings& settings, const QString& screenSaverName, const QString& programFolder);

// The same for a project: its record, its name and its program folder. The
// main window and the command line compile this way.
TCompiled compileProject(ProjectState& project);

// The distinct non-empty names of slots 1 to 10 in order of first occurrence,
// compared exactly (letter case included).
QStringList PictureList(const SaverSettings& settings);

// The first slot name (slot order) that names no picture in the current
// folder, or nothing when all are there; empty slots name nothing. A name
// that could reach outside the folder ('/', ".", "..") never counts as there.
std::optional<QString> firstMissingPicture(const SaverSettings& settings);

// Writes the image store `storeName` from `settings` and `pictureList` and
// locates slots 1 to ImageCount of `settings`. Throws ECompileError when a
// picture cannot be opened, the copy into the store stops short (a full
// disk and the other causes of copyFailureText) or the store would outgrow
// the 32-bit Offset/Size; EInOutError when the store cannot be made.
// Whatever was written stays on disk; the caller removes it.
void PackImageStore(SaverSettings& settings, const QStringList& pictureList, const QString& storeName);
