#include "app/CommandLine.h"

#include "compiler/ImageStore.h"
#include "project/Project.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"
#include "toolkit/Toolkit.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

void Print(std::FILE* to, const QString& text)
{
    const QByteArray bytes = NativePath(text) + '\n';
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
    std::fflush(to);
}

// The folder of this program's own file, where GLIMMER.BIN lies, as the
// system names it.
QString ProgramFolderOfSelf()
{
    QByteArray path(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", path.data(), std::size_t(path.size()));
    if (n <= 0 || n >= path.size())
        return IncludeTrailingPathDelimiter(QCoreApplication::applicationDirPath());
    path.truncate(n);
    return ExtractFilePath(PathFromNative(path));
}

TWindowsSaver Compile(const QString& path)
{
    ProjectState& project = Project();
    project = ProjectState{};
    project.ProgramFolder = ProgramFolderOfSelf();
    const QString folder = ExtractFilePath(path);
    if (!folder.isEmpty() && !SetCurrentDir(folder))
        throw EGlimmerError(QStringLiteral("The folder %1 cannot be entered.").arg(DisplayPath(folder)));
    HoldProjectFolder();
    project.ProjectFile = ProjectFileFor(ExtractFileName(path));
    // Never a new project: a name that is not there is a mistake.
    if (!FileExists(project.ProjectFile))
        throw EGlimmerError(QStringLiteral("The project file %1 was not found.").arg(DisplayPath(path)));
    LoadProject();
    if (project.Settings.ImageCount <= 0)
        throw EGlimmerError(QStringLiteral("The screensaver %1 has no pictures to compile.").arg(project.ScreenSaverName()));
    return CompileScreenSaver();
}

} // namespace

bool IsCommandLine(int argc, char** argv)
{
    return argc >= 2 && std::strcmp(argv[1], "--compile") == 0;
}

int RunCommandLine(int argc, char** argv)
{
    if (argc != 3 || argv[2][0] == '\0') {
        std::fprintf(stderr, "usage: %s [--compile PATH/NAME.SSJ]\n", argv[0]);
        return 2;
    }
    const QString path = PathFromNative(QByteArray(argv[2]));
    QCoreApplication app(argc, argv);
    InitToolkit();
    // Every message the compile would show in a box goes to standard error.
    SetMessageHook([](const TMessage& m) {
        Print(stderr, m.Text);
        return TMsgResult::OK;
    });
    TWindowsSaver windows;
    if (!RunCommand([&] { windows = Compile(path); }))
        return 1;
    Print(stdout, Project().ProjectFolder + Project().ScreenSaverName() + QStringLiteral(".SCR"));
    if (windows.State == TWindowsSaver::Written)
        Print(stdout, Project().ProjectFolder + windows.Name);
    // NAME.SCR is there, the Windows file is not: a status of its own.
    if (windows.State == TWindowsSaver::Failed) {
        Print(stderr, windows.Problem);
        return 3;
    }
    return 0;
}
