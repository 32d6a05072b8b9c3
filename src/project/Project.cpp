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

QString ProjectFileFor(const QString& screenSaverName)
{
    return ChangeFileExt(AfterDriveAndFolder(screenSaverName), QStringLiteral(".SSJ"));
}

QString ScreenSaverNameOf(const QString& projectFile)
{
    return ChangeFileExt(AfterDriveAndFolder(ExtractFileName(projectFile)), QString());
}

QString ProjectState::ScreenSaverName() const { return ScreenSaverNameOf(ProjectFile); }

QString ProjectState::ProjectBase() const { return ProjectFolder + ScreenSaverName(); }

void NewProjectDefaults() { Project().Settings = NewProjectSettings(); }

void LoadProject()
{
    SettingsBytes bytes{};
    TFileStream f(FollowLinkOfSameKind(Project().ProjectFile), TFileStream::fmOpenRead);
    f.ReadBuffer(bytes.data(), bytes.size());
    f.Close();
    SaverSettings s = SaverSettings::Decode(bytes);
    // A damaged file must never lead a command past the tenth slot or the
    // twelfth character of a name.
    s.Normalize();
    Project().Settings = s;
}

void SaveProject()
{
    const SettingsBytes bytes = Project().Settings.Encode();
    WriteFileReplacing(Project().ProjectFile, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

void OpenProject()
{
    if (FileExists(Project().ProjectFile)) {
        LoadProject();
    } else {
        NewProjectDefaults();
        SaveProject();
    }
}
