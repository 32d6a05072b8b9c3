#pragma once
// A screensaver project: its folder, file and names, and its settings
// record. The program has one (Project()), which the main window hands to
// each command; the operations here act on the project they are given.
#include "project/SlotNames.h"
#include "toolkit/Files.h"

#include <QString>

struct ProjectState {
    QString ProgramFolder;   // the program's own folder, ending in '/'
    QString ProjectFolder;   // the current project's folder, ending in '/'
    QString ProjectFile;     // bare name of the project file; empty: no project open
    SaverSettings Settings;  // all zero until a project is opened
    // The project folder, held open while the project is: it tells whether
    // ProjectFolder still leads to it, and is entered again however it was
    // renamed.
    TFolderHandle Folder;

    bool IsOpen() const { return !ProjectFile.isEmpty(); }
    QString ScreenSaverName() const;   // ProjectFile without its extension
    QString ProjectBase() const;       // ProjectFolder + ScreenSaverName
};

// The program's one project. Only the main window and the command line
// reach for it; everything below them is handed the project it works on.
ProjectState& Project();

// The project file name for a screensaver name as entered: the part after its
// last "\" or ":", its extension replaced by ".SSJ" (SUNSET -> SUNSET.SSJ,
// MY.SAVER -> MY.SSJ, A\B -> B.SSJ).
QString projectFileFor(const QString& screenSaverName);
QString screenSaverNameOf(const QString& projectFile);

// Opens the current folder as the project's folder (Folder and ProjectFolder).
void holdProjectFolder(ProjectState& project);
// Makes the project folder the current folder again after a dialog browsed
// elsewhere. False when that cannot be done (errno set).
bool enterProjectFolder(const ProjectState& project);
// Throws EGlimmerError ("The project folder ... is no longer there.") when
// the open project's folder was renamed, moved or removed since it was
// opened: nothing may then be saved as if its pictures had gone.
void checkProjectFolder(const ProjectState& project);

// A slot name as a name of the project folder: plain (no folder part, no "."
// or "..", no zero character, not empty).
bool isPlainName(const QString& name);
// A slot name that names a picture in the project folder (the current
// folder): plain, and an ordinary file there. A link, a pipe, a device or a
// folder of that name counts as missing: a folder from a stranger must not
// lead the show, the compile or the slot editor elsewhere, nor make them wait.
bool projectPictureExists(const QString& name);

void NewProjectDefaults(ProjectState& project);
// Reads the first 235 bytes of the project file in the current folder. On
// failure (EInOutError) the record in memory is left as it was.
void LoadProject(ProjectState& project);
// Writes the record to the project file in the current folder; a failure
// leaves the old file as it was.
void SaveProject(const ProjectState& project);
// Loads the project file, or makes a new one with the defaults when there is none.
void OpenProject(ProjectState& project);
