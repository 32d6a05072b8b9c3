#include "project/Project.h"

#include "toolkit/Files.h"

ProjectState& Project()
{
    static ProjectState state;
    return state;
}

QString ProjectFileFor(const QString& screenSaverName)
{
    return ChangeFileExt(screenSaverName, QStringLiteral(".SSJ"));
}

QString ScreenSaverNameOf(const QString& projectFile)
{
    return ChangeFileExt(ExtractFileName(projectFile), QString());
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
