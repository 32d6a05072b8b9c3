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
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
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

// Why the project file `file` (named `shown` on the command line), a link
// that the program does not follow, cannot be compiled.
QString linkProblem(const QString& shown, const QString& file)
{
    QByteArray target(4096, '\0');
    const ssize_t n = ::readlink(NativePath(file).constData(), target.data(), std::size_t(target.size()));
    target.truncate(n > 0 && n < target.size() ? int(n) : 0);
    char* real = ::realpath(NativePath(file).constData(), nullptr);
    const QString leadsTo = real ? PathFromNative(QByteArray(real)) : QString();
    std::free(real);
    const QString start = QStringLiteral("The project file %1 is a link to %2").arg(DisplayPath(shown));
    struct stat st;
    if (leadsTo.isEmpty() || ::stat(NativePath(leadsTo).constData(), &st) != 0)
        return start.arg(DisplayPath(PathFromNative(target))) + QStringLiteral(", which is not there.");
    if (!S_ISREG(st.st_mode) || ExtractFileExt(leadsTo).compare(QStringLiteral(".SSJ"), Qt::CaseInsensitive) != 0)
        return start.arg(DisplayPath(leadsTo)) + QStringLiteral(", which is not a project file.");
    return start.arg(DisplayPath(leadsTo)) +
           QStringLiteral(" in another folder. A project is compiled in its own folder: compile %1.").arg(DisplayPath(leadsTo));
}

// Compiles the project at `path` as `project`, as the Compile command does.
TCompiled Compile(const QString& path, ProjectState& project)
{
    project.ProgramFolder = ProgramFolderOfSelf();
    const QString folder = ExtractFilePath(path);
    if (!folder.isEmpty() && !SetCurrentDir(folder))
        throw EGlimmerError(QStringLiteral("The folder %1 cannot be entered.").arg(DisplayPath(folder)));
    try {
        holdProjectFolder(project);
    } catch (const EInOutError& e) {
        throw EGlimmerError(QStringLiteral("The folder %1 cannot be opened: %2.").arg(DisplayPath(folder.isEmpty() ? GetCurrentDir() : folder), IOErrorText(e.ErrorCode)));
    }
    // A Linux path, taken as it is: ':' and '\' are characters of its names,
    // not the drive and folder marks of a name typed into the project dialog.
    const QString named = ExtractFileName(path);
    const QString extension = ExtractFileExt(named);
    if (!extension.isEmpty() && extension.compare(QStringLiteral(".SSJ"), Qt::CaseInsensitive) != 0 && FileExists(named))
        throw EGlimmerError(QStringLiteral("The file %1 cannot be compiled: the name of a project file ends in .SSJ.").arg(DisplayPath(path)));
    project.ProjectFile = ChangeFileExt(named, QStringLiteral(".SSJ"));
    // Never a new project: a name that is not there is a mistake.
    if (!FileExists(project.ProjectFile))
        throw EGlimmerError(QStringLiteral("The project file %1 was not found.").arg(DisplayPath(path)));
    try {
        FollowLinkOfSameKind(project.ProjectFile);
    } catch (const EInOutError&) {
        throw EGlimmerError(linkProblem(path, ResolveName(project.ProjectFile)));
    }
    try {
        LoadProject(project);
    } catch (const EInOutError& e) {
        throw EGlimmerError(QStringLiteral("The project file %1 cannot be read: %2.").arg(DisplayPath(path), IOErrorText(e.ErrorCode)));
    }
    if (project.Settings.ImageCount <= 0)
        throw EGlimmerError(QStringLiteral("The screensaver %1 has no pictures to compile.").arg(project.ScreenSaverName()));
    TCompiled compiled = compileProject(project);
    // Renamed or moved meanwhile, the folder holds the files under a path
    // other than the one that would be printed.
    checkProjectFolder(project);
    return compiled;
}

} // namespace

namespace {

constexpr char CompileOption[] = "--compile";

bool isOption(const char* arg, const char* option) { return std::strcmp(arg, option) == 0; }

// --compile=PATH, the way most programs also take a value.
const char* compileValue(const char* arg)
{
    const std::size_t n = std::strlen(CompileOption);
    return std::strncmp(arg, CompileOption, n) == 0 && arg[n] == '=' ? arg + n + 1 : nullptr;
}

std::string usageLine(const char* program)
{
    return std::string("usage: ") + program + " [--compile PATH/NAME.SSJ | --help | --version]";
}

} // namespace

bool isCommandLine(int argc, char** argv)
{
    if (argc < 2)
        return false;
    const char* first = argv[1];
    return isOption(first, CompileOption) || compileValue(first) || isOption(first, "--help") || isOption(first, "--version");
}

int runCommandLine(int argc, char** argv)
{
    KeepStandardStream(STDIN_FILENO);
    const bool haveOutput = KeepStandardStream(STDOUT_FILENO);
    KeepStandardStream(STDERR_FILENO);
    // A reader that went away is told on standard error, not by dying of it.
    std::signal(SIGPIPE, SIG_IGN);
    const char* first = argv[1];
    if (argc == 2 && isOption(first, "--help")) {
        const bool told = printLines(stdout, usageLine(argv[0]) + "\n"
                                     "Makes a picture screensaver from your own photos. Without options, opens the window.\n"
                                     "  --compile PATH/NAME.SSJ  compile that project without a window or a display, as the\n"
                                     "                           Compile command does; print the paths of the screensavers written\n"
                                     "  --help                   show this text\n"
                                     "  --version                show Glimmer's version\n"
                                     "See glimmer(1).");
        return told ? 0 : 1;
    }
    if (argc == 2 && isOption(first, "--version"))
        return printLines(stdout, "Glimmer " GLIMMER_VERSION) ? 0 : 1;
    const char* value = compileValue(first);
    if (!value && isOption(first, CompileOption) && argc == 3)
        value = argv[2];
    if (!value || *value == '\0' || argc != (compileValue(first) ? 2 : 3)) {
        printLines(stderr, usageLine(argv[0]));
        return 2;
    }
    const QString path = PathFromNative(QByteArray(value));
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
