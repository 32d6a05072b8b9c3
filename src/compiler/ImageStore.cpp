#include "compiler/ImageStore.h"

#include "project/Project.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 MaxStoreSize = std::numeric_limits<std::int32_t>::max();

QByteArray native(const QString& name) { return NativePath(name); }

// True when both names lead to the same file on disk (names resolve
// case-insensitively, so different texts can mean one file).
bool SameFile(const QString& a, const QString& b)
{
    struct stat sa, sb;
    return ::stat(native(ResolveName(a)).constData(), &sa) == 0
        && ::stat(native(ResolveName(b)).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

QString CannotOpenText(const QString& name) { return QStringLiteral("The file %1 could not be opened.").arg(name); }

QString CannotCreateText(const QString& name) { return QStringLiteral("The file %1 could not be created.").arg(name); }

QString ShortWriteText(const QString& name)
{
    return QStringLiteral("The file %1 could not be written completely. The disk may be full.").arg(name);
}

QString TooLargeText(const QString& storeName)
{
    return QStringLiteral("The pictures are too large for one screensaver: the image store %1 would be larger than %2 bytes.")
        .arg(storeName)
        .arg(MaxStoreSize);
}

// Writes the whole record at the stream's position; a short write (disk full,
// file-size limit) is this compile's own failure.
void WriteRecord(TFileStream& store, const SaverSettings& settings, const QString& storeName)
{
    const SettingsBytes bytes = settings.Encode();
    if (store.Write(bytes.data(), bytes.size()) != bytes.size())
        throw ECompileError(ShortWriteText(storeName));
}

int CopyBlocks(TFileStream& from, TFileStream& to)
{
    const std::unique_ptr<char[]> block(new char[CopyBlockSize]);
    for (;;) {
        const std::size_t got = from.Read(block.get(), CopyBlockSize);
        if (got == 0)
            return cfOK;
        if (to.Write(block.get(), got) != got)
            return cfShortWrite;
    }
}

std::unique_ptr<TFileStream> TryOpen(const QString& name, TFileStream::Mode mode,
                                     TFileStream::Links links = TFileStream::NoLinks)
{
    try {
        return std::make_unique<TFileStream>(name, mode, links);
    } catch (const EInOutError&) {
        return nullptr;
    }
}

// One compile at a time in a project folder, across programs: two at once
// would write the same image store and each pack the other's bytes. Held on
// the folder itself, so that no lock file is left behind by a kill.
class CompileLock {
public:
    explicit CompileLock(const QString& screenSaverName)
    {
        fd_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0)
            return;   // no lock to be had: the compile goes on alone
        // Another compile of a few pictures ends within moments: wait for it.
        for (int tries = 0; tries < 60; ++tries) {
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
                return;
            if (errno != EWOULDBLOCK && errno != EINTR)
                return;
            ::usleep(50 * 1000);
        }
        ::close(fd_);
        fd_ = -1;
        throw ECompileError(QStringLiteral("The screensaver %1 is being compiled by another program.").arg(screenSaverName));
    }
    ~CompileLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    CompileLock(const CompileLock&) = delete;
    CompileLock& operator=(const CompileLock&) = delete;

private:
    int fd_ = -1;
};

// A new empty file beside `name` in the current folder, under a name no one
// else uses, for building `name` without touching it.
QString CreateTempBeside(const QString& name)
{
    QByteArray pattern = native(QLatin1Char('.') + name + QStringLiteral("-XXXXXX"));
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        throw EInOutError(IOCodeFromErrno(errno));
    ::close(fd);
    return PathFromNative(pattern);
}

// The player's bytes, then the store's, under a temporary name beside
// `saverName` in the current folder, with the player's mode (it runs where
// the player runs). Returns the temporary name for the caller to rename into
// place; on failure nothing is left behind.
QString BuildSaverBeside(const QString& player, const QString& storeName, const QString& saverName)
{
    struct stat playerInfo;
    const bool haveMode = ::stat(native(ResolveName(player)).constData(), &playerInfo) == 0;
    const QString temp = CreateTempBeside(saverName);
    try {
        switch (CopyWholeFile(player, temp)) {
        case cfOK: break;
        case cfCannotOpen: throw ECompileError(CannotOpenText(player));
        case cfCannotCreate: throw ECompileError(CannotCreateText(saverName));
        default: throw ECompileError(ShortWriteText(saverName));
        }
        TFileStream saver(temp, TFileStream::fmOpenReadWrite, TFileStream::NoLinks);
        saver.Seek(0, SEEK_END);
        switch (AppendFileTo(storeName, saver)) {
        case cfOK: break;
        case cfCannotOpen: throw ECompileError(CannotOpenText(storeName));
        default: throw ECompileError(ShortWriteText(saverName));
        }
        // No fsync: it would double the time of a compile of large pictures;
        // a rename over an existing file is flushed by the usual file systems.
        saver.Close();
        if (haveMode)
            ::chmod(native(temp).constData(), playerInfo.st_mode & 0777);
        return temp;
    } catch (...) {
        ::unlink(native(temp).constData());
        throw;
    }
}

// Builds WINDOWS/NAME.SCR from `player` and the store: under a temporary
// name in the project folder, then renamed into WINDOWS, which is made when
// missing and never entered through a link. Throws ECompileError or
// EInOutError; the temporary file is gone either way.
void WriteWindowsSaver(const QString& player, const QString& storeName, const QString& saverName)
{
    const QByteArray folder = WindowsFolderName;
    if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST)
        throw EInOutError(IOCodeFromErrno(errno));
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0)
        throw ECompileError(errno == ELOOP || errno == ENOTDIR
                                ? QStringLiteral("%1 in the project folder is not a folder.").arg(QLatin1String(folder))
                                : IOErrorText(IOCodeFromErrno(errno)) + QLatin1Char('.'));
    const std::unique_ptr<int, void (*)(int*)> closeDir(new int(dir), [](int* fd) {
        ::close(*fd);
        delete fd;
    });
    const QString temp = BuildSaverBeside(player, storeName, saverName);
    if (::renameat(AT_FDCWD, native(temp).constData(), dir, native(saverName).constData()) != 0) {
        const int err = errno;
        ::unlink(native(temp).constData());
        throw EInOutError(IOCodeFromErrno(err));
    }
}

// The Windows screensaver, when GLIMMER.EXE lies beside the program: what
// became of it, for the user to be told. NAME.SCR is complete by now.
TWindowsSaver CompileWindowsSaver(const QString& programFolder, const QString& storeName, const QString& saverName)
{
    TWindowsSaver outcome;
    const QString windowsPlayer = programFolder + QStringLiteral("GLIMMER.EXE");
    if (!FileExists(windowsPlayer))
        return outcome;
    outcome.Name = QLatin1String(WindowsFolderName) + QLatin1Char('/') + saverName;
    try {
        WriteWindowsSaver(windowsPlayer, storeName, saverName);
        outcome.State = TWindowsSaver::Written;
    } catch (const EGlimmerError& e) {
        outcome.State = TWindowsSaver::Failed;
        QString why = e.Text();
        if (!why.endsWith(QLatin1Char('.')))
            why += QLatin1Char('.');
        outcome.Problem = QStringLiteral("The Windows screensaver %1 could not be written: %2 %3 is complete.")
                              .arg(outcome.Name, why, saverName);
    }
    return outcome;
}

} // namespace

QStringList PictureList(const SaverSettings& settings)
{
    QStringList list;
    for (int k = 1; k <= MaxImages; ++k) {
        const QString name = settings.Slot(k).Name();
        if (!name.isEmpty() && !list.contains(name))
            list << name;
    }
    return list;
}

std::optional<QString> FirstMissingPicture(const SaverSettings& settings)
{
    for (int k = 1; k <= MaxImages; ++k) {
        const QString name = settings.Slot(k).Name();
        if (name.isEmpty() ? k <= settings.ImageCount : !ProjectPictureExists(name))
            return name;
    }
    return std::nullopt;
}

int AppendFileTo(const QString& source, TFileStream& target)
{
    const std::unique_ptr<TFileStream> from = TryOpen(source, TFileStream::fmOpenRead);
    if (!from)
        return cfCannotOpen;
    const int result = CopyBlocks(*from, target);
    from->Close();
    return result;
}

int CopyWholeFile(const QString& source, const QString& target)
{
    if (source == target)
        return cfSameName;
    const std::unique_ptr<TFileStream> from = TryOpen(source, TFileStream::fmOpenRead, TFileStream::FollowLinks);
    if (!from)
        return cfCannotOpen;
    const std::unique_ptr<TFileStream> to = TryOpen(target, TFileStream::fmCreate);
    if (!to)
        return cfCannotCreate;
    const int result = CopyBlocks(*from, *to);
    to->Close();
    from->Close();
    return result;
}

void PackImageStore(SaverSettings& settings, const QStringList& pictureList, const QString& storeName)
{
    std::array<ImageEntry, MaxImages> scratch{};
    const int count = std::min<int>(int(pictureList.size()), MaxImages);

    // A store of that name is a leftover of a compile that was killed; a
    // link of that name is removed, never written through.
    struct stat st;
    if (::lstat(native(storeName).constData(), &st) == 0 && !S_ISDIR(st.st_mode))
        ::unlink(native(storeName).constData());
    TFileStream store(storeName, TFileStream::fmCreateNew);
    // Reserves the record's room; it is written again once the slots are located.
    WriteRecord(store, settings, storeName);
    for (int i = 0; i < count; ++i) {
        const QString& name = pictureList[i];
        ImageEntry& entry = scratch[std::size_t(i)];
        entry.SetName(name.left(MaxNameLength));
        const qint64 offset = store.Size();
        // Checked before copying so that a picture far too large is not
        // copied first; checked again after, in case it grew meanwhile.
        if (offset + std::max<qint64>(FileSizeOf(name), 0) > MaxStoreSize)
            throw ECompileError(TooLargeText(storeName));
        switch (AppendFileTo(name, store)) {
        case cfOK: break;
        case cfCannotOpen: throw ECompileError(QStringLiteral("The graphic %1 could not be opened.").arg(name));
        default: throw ECompileError(ShortWriteText(storeName));
        }
        const qint64 end = store.Size();
        if (end > MaxStoreSize)
            throw ECompileError(TooLargeText(storeName));
        entry.Offset = std::int32_t(offset);
        entry.Size = std::int32_t(end - offset);
    }
    store.Close();

    const int located = std::clamp<int>(settings.ImageCount, 0, MaxImages);
    for (int k = 1; k <= located; ++k) {
        const qsizetype i = pictureList.indexOf(settings.Slot(k).Name());
        if (i >= 0 && i < count)
            settings.Slot(k) = scratch[std::size_t(i)];
    }

    TFileStream again(storeName, TFileStream::fmOpenReadWrite, TFileStream::NoLinks);
    WriteRecord(again, settings, storeName);
    again.Close();
}

TWindowsSaver CompileScreenSaver()
{
    ProjectState& project = Project();
    SaverSettings& settings = project.Settings;

    if (const auto missing = FirstMissingPicture(settings))
        throw ECompileError(QStringLiteral("The graphic ") + *missing + QStringLiteral(" was not found."));
    const QStringList pictures = PictureList(settings);
    const QString base = project.ScreenSaverName();
    const QString storeName = base + QStringLiteral(".SSC");
    const QString saverName = base + QStringLiteral(".SCR");
    // Creating the store would empty such a picture before it is read.
    for (const QString& name : pictures) {
        if (SameFile(name, storeName))
            throw ECompileError(QStringLiteral("The graphic %1 has the name of the image store and cannot be packed.").arg(name));
    }
    const QString stub = project.ProgramFolder + QStringLiteral("GLIMMER.BIN");

    // The screensaver is built under a temporary name and renamed over
    // NAME.SCR only when complete, so a failure never leaves a broken one.
    QString temp;
    bool storeMade = false;
    const auto cleanUp = [&] {
        if (!temp.isEmpty())
            ::unlink(native(temp).constData());
        if (storeMade)
            ::unlink(native(storeName).constData());
    };
    try {
        const CompileLock lock(base);
        // What killed compiles left behind goes first.
        // A screensaver under construction begins with its player: the X11
        // one (ELF) or the Windows one (MZ), both built here.
        RemoveStaleTemporaries(QLatin1Char('.') + saverName + QLatin1Char('-'), -1,
                               {QByteArrayLiteral("\x7F" "ELF"), QByteArrayLiteral("MZ")});
        storeMade = true;
        PackImageStore(settings, pictures, storeName);
        if (!FileExists(stub))
            throw ECompileError(QStringLiteral("The file ") + project.ProgramFolder + QStringLiteral("GLIMMER.BIN' was not found."));
        temp = BuildSaverBeside(stub, storeName, saverName);
        if (!RenameFile(temp, saverName))
            throw EInOutError(IOCodeFromErrno(errno));
        temp.clear();
        const TWindowsSaver windows = CompileWindowsSaver(project.ProgramFolder, storeName, saverName);
        ::unlink(native(storeName).constData());
        return windows;
    } catch (...) {
        cleanUp();
        throw;
    }
}
