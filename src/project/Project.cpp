#include "project/Project.h"

#include "toolkit/Files.h"

#include <algorithm>

ProjectState& Project()
{
    static ProjectState state;
    return state;
}

namespace {
// A typed name may carry a drive or a folder the old way ("A\B", "C:X"):
// the project is named by what follows the last "\" or ":".
QString AfterDriveAndFolder(const QString& name)
{
    return name.mid(std::max(name.lastIndexOf(QLatin1Char('\\')), name.lastIndexOf(QLatin1Char(':'))) + 1);
}
} // namespace

QString projectFileFor(const QString& screenSaverName)
{
    return ChangeFileExt(AfterDriveAndFolder(screenSaverName), QStringLiteral(".SSJ"));
}

QString screenSaverNameOf(const QString& projectFile)
{
    return ChangeFileExt(AfterDriveAndFolder(ExtractFileName(projectFile)), QString());
}

// ProjectFile holds no drive or folder: projectFileFor took them from a name
// typed in the dialog, and on the command line ':' and '\' are characters
// of a Linux name like any other.
QString ProjectState::ScreenSaverName() const { return ChangeFileExt(ExtractFileName(ProjectFile), QString()); }

QString ProjectState::ProjectBase() const { return ProjectFolder + ScreenSaverName(); }

void holdProjectFolder(ProjectState& project)
{
    project.Folder = TFolderHandle(QStringLiteral("."));
    project.ProjectFolder = GetCurrentDir();
}

bool enterProjectFolder(const ProjectState& p)
{
    if (p.Folder.IsOpen())
        return p.Folder.Enter();
    return SetCurrentDir(p.ProjectFolder);
}

void checkProjectFolder(const ProjectState& p)
{
    if (!p.IsOpen() || !p.Folder.IsOpen() || p.Folder.IsAt(p.ProjectFolder))
        return;
    QString shown = DisplayPath(p.ProjectFolder);
    if (shown.size() > 1 && shown.endsWith(QLatin1Char('/')))
        shown.chop(1);
    throw EGlimmerError(QStringLiteral("The project folder %1 is no longer there.").arg(shown));
}

bool isPlainName(const QString& name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0)) && name != QLatin1String(".")
        && name != QLatin1String("..");
}

bool projectPictureExists(const QString& name) { return isPlainName(name) && PlainFileExists(name); }

void NewProjectDefaults(ProjectState& project) { project.Settings = newProjectSettings(); }

void LoadProject(ProjectState& project)
{
    SettingsBytes bytes{};
    TFileStream f(FollowLinkOfSameKind(project.ProjectFile), TFileStream::fmOpenRead);
    f.ReadBuffer(bytes.data(), bytes.size());
    f.Close();
    SaverSettings s = SaverSettings::Decode(bytes);
    // A damaged file must never lead a command past the tenth slot or the
    // twelfth character of a name.
    s.Normalize();
    project.Settings = s;
}

void SaveProject(const ProjectState& project)
{
    // Saves that were killed before they could tidy up left their temporary
    // files; so did those of earlier versions, under another name.
    RemoveStaleTemporaries(QLatin1Char('.') + project.ProjectFile + QLatin1Char('-'), SaverSettingsSize);
    RemoveStaleTemporaries(QStringLiteral(".glimmer-"), SaverSettingsSize);
    const SettingsBytes bytes = project.Settings.Encode();
    WriteFileReplacing(project.ProjectFile, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

void OpenProject(ProjectState& project)
{
    if (FileExists(project.ProjectFile)) {
        LoadProject(project);
    } else {
        NewProjectDefaults(project);
        SaveProject(project);
    }
}
