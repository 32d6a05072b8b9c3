#pragma once
// The one current project: its folder, file and names, and its settings
// record, which every window reads and changes in place.
#include "project/SaverSettings.h"

#include <QString>

struct ProjectState {
    QString ProgramFolder;   // the program's own folder, ending in '/'
    QString ProjectFolder;   // the current project's folder, ending in '/'
    QString ProjectFile;     // bare name of the project file; empty: no project open
    SaverSettings Settings;  // all zero until a project is opened

    bool IsOpen() const { return !ProjectFile.isEmpty(); }
    QString ScreenSaverName() const;   // ProjectFile without folder and extension
    QString ProjectBase() const;       // ProjectFolder + ScreenSaverName
};

ProjectState& Project();

// The project file name for a screensaver name as entered: the part after its
// last "\" or ":", its extension replaced by ".SSJ" (SUNSET -> SUNSET.SSJ,
// MY.SAVER -> MY.SSJ, A\B -> B.SSJ).
QString ProjectFileFor(const QString& screenSaverName);
QString ScreenSaverNameOf(const QString& projectFile);

void NewProjectDefaults();
// Reads the first 235 bytes of the project file in the current folder. On
// failure (EInOutError) the record in memory is left as it was.
void LoadProject();
// Writes the record to the project file in the current folder; a failure
// leaves the old file as it was.
void SaveProject();
void OpenProject();
