#include "app/CommandLine.h"

#include "compiler/ImageStore.h"
#include "project/Project.h"
#include "text/PrintableText.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"
#include "toolkit/Toolkit.h"

#include <QCoreApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// One line: a line break in a name shows as "?" too.
bool Print(std::FILE* to, const QString& text) { return printLines(to, printableText(NativePath(text).toStdString())); }

// A path written, for a script to use: its bytes as they are, masked only
// for a terminal.
bool PrintPath(const QString& path) { return printData(stdout, NativePath(path).toStdString()); }

// A standard stream that was closed would lend its number to the next file
// opened, one of the project's own, and the path would be printed into it:
// its place is taken by /dev/null. False when it was closed.
bool KeepStandardStream(int fd)
{
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
        return true;
    const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0 && null != fd) {
        ::dup2(null, fd);
        ::close(null);
    }
    return false;
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

// Compiles the project at `path` as `project`, as the Compile command does.
TCompiled Compile(const QString& path, ProjectState& project)
{
    project.ProgramFolder = ProgramFolderOfSelf();
    const QString folder = ExtractFilePath(path);
    if (!folder.isEmpty() && !SetCurrentDir(folder))
        throw EGlimmerError(QStringLiteral("The folder %1 cannot be entered.").arg(DisplayPath(folder)));
    holdProjectFolder(project);
    // A Linux path, taken as it is: ':' and '\' are characters of its names,
    // not the drive and folder marks of a name typed into the project dialog.
    project.ProjectFile = ChangeFileExt(ExtractFileName(path), QStringLiteral(".SSJ"));
    // Never a new project: a name that is not there is a mistake.
    if (!FileExists(project.ProjectFile))
        throw EGlimmerError(QStringLiteral("The project file %1 was not found.").arg(DisplayPath(path)));
    LoadProject(project);
    if (project.Settings.ImageCount <= 0)
        throw EGlimmerError(QStringLiteral("The screensaver %1 has no pictures to compile.").arg(project.ScreenSaverName()));
    TCompiled compiled = compileProject(project);
    // Renamed or moved meanwhile, the folder holds the files under a path
    // other than the one that would be printed.
    checkProjectFolder(project);
    return compiled;
}

} // namespace

bool isCommandLine(int argc, char** argv)
{
    return argc >= 2 && std::strcmp(argv[1], "--compile") == 0;
}

int runCommandLine(int argc, char** argv)
{
    KeepStandardStream(STDIN_FILENO);
    const bool haveOutput = KeepStandardStream(STDOUT_FILENO);
    KeepStandardStream(STDERR_FILENO);
    // A reader that went away is told on standard error, not by dying of it.
    std::signal(SIGPIPE, SIG_IGN);
    if (argc != 3 || argv[2][0] == '\0') {
        printLines(stderr, std::string("usage: ") + argv[0] + " [--compile PATH/NAME.SSJ]");
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
    ProjectState project;
    TCompiled compiled;
    if (!RunCommand([&] { compiled = Compile(path, project); }))
        return 1;
    const QString folder = project.ProjectFolder;
    errno = 0;
    bool printed = haveOutput && PrintPath(folder + compiled.SaverName);
    if (printed && compiled.Windows.State == TWindowsSaver::Written)
        printed = PrintPath(folder + compiled.Windows.Name);
    const int cause = errno;
    // NAME.SCR is there, the Windows file is not: a status of its own.
    int status = compiled.Windows.State == TWindowsSaver::Failed ? 3 : 0;
    if (!printed) {
        Print(stderr, QStringLiteral("The screensaver was written, but its path could not be printed: %1.")
                          .arg(haveOutput ? MessageText(std::strerror(cause ? cause : EIO)) : QStringLiteral("standard output is closed")));
        if (status == 0)
            status = 1;
    }
    if (compiled.Windows.State == TWindowsSaver::Failed)
        Print(stderr, compiled.Windows.Problem);
    return status;
}
