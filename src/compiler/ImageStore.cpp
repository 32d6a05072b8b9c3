#include "compiler/ImageStore.h"

#include "project/Project.h"
#include "toolkit/FileCopy.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <memory>
#include <utility>
#include <vector>
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

// "... could not be opened: Too many open files.": why, in the old words
// (IOErrorText, copyFailureText).
QString becauseOf(const QString& what, const QString& why) { return what + QStringLiteral(": ") + why + QLatin1Char('.'); }

QString CannotCreateText(const QString& name, const QString& why)
{
    return becauseOf(QStringLiteral("The file %1 could not be created").arg(name), why);
}

QString ShortWriteText(const QString& name, const QString& why)
{
    return becauseOf(QStringLiteral("The file %1 could not be written completely").arg(name), why);
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
    if (const CopyOutcome written = writeAllBytes(store.Handle(), bytes.data(), bytes.size()); !written.copied())
        throw ECompileError(ShortWriteText(storeName, copyFailureText(written)));
}

// Opens a file the compile reads, or throws ECompileError: `what`, which
// names it, and why.
std::unique_ptr<TFileStream> openOrSay(const QString& name, TFileStream::Links links, const QString& what)
{
    try {
        return std::make_unique<TFileStream>(name, TFileStream::fmOpenRead, links);
    } catch (const EInOutError& e) {
        throw ECompileError(becauseOf(what, IOErrorText(e.ErrorCode)));
    }
}

// A screensaver file that could not be written: not made at all, or cut
// short, and why (IOErrorText, copyFailureText). Its caller names the file.
struct SaverNotWritten {
    bool cutShort;
    QString why;
};

// One compile at a time in a project folder, across programs: two at once
// would each take the other's half-built screensaver for a leftover. Held on
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

// A descriptor closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// A screensaver built beside its place, in a temporary file: its descriptor
// reads it back whatever becomes of the name.
using BuiltSaver = std::unique_ptr<TTemporaryFile>;

// The player's bytes, then what `writeRest` appends, under a temporary name
// beside `saverName` in the current folder, with the player's mode (it runs
// where the player runs). Every byte is written once, by the kernel where it
// can. On failure nothing is left behind. Throws SaverNotWritten when the
// file itself fails, EInOutError when none can be made, ECompileError when
// the player cannot be read.
BuiltSaver BuildSaverBeside(const QString& player, const QString& saverName,
                            const std::function<void(TFileStream&)>& writeRest)
{
    const std::unique_ptr<TFileStream> from =
        openOrSay(player, TFileStream::FollowLinks, QStringLiteral("The file %1 could not be opened").arg(player));
    BuiltSaver temp = std::make_unique<TTemporaryFile>(QLatin1Char('.') + saverName + QLatin1Char('-'));
    std::unique_ptr<TFileStream> saver;
    try {
        saver = std::make_unique<TFileStream>(temp->Name(), TFileStream::fmOpenReadWrite, TFileStream::NoLinks);
    } catch (const EInOutError& e) {
        throw SaverNotWritten{false, IOErrorText(e.ErrorCode)};
    }
    if (const CopyOutcome copy = CopyFileRange(from->Handle(), saver->Handle()); !copy.copied())
        throw SaverNotWritten{true, copyFailureText(copy)};
    writeRest(*saver);
    struct stat playerInfo;
    if (::fstat(from->Handle(), &playerInfo) == 0)
        ::fchmod(saver->Handle(), playerInfo.st_mode & 0777);
    // The close reports what a network file system could not write. No
    // fsync: it would double the time of a compile of large pictures; a
    // rename over an existing file is flushed by the usual file systems.
    saver->Close();
    return temp;
}

// Builds WINDOWS/NAME.SCR from `player` and the store, read from `source`
// (NAME.SCR) at `storeAt`: under a temporary name in the project folder,
// then renamed into WINDOWS, which is made when missing and never entered
// through a link. Throws ECompileError or EInOutError; the temporary file is
// gone either way. Returns the name it wrote: a screensaver already there
// under another letter case is replaced, as NAME.SCR is, not joined by a twin.
QString writeWindowsSaver(const QString& player, int source, qint64 storeAt, const QString& saverName)
{
    const QByteArray folder = WindowsFolderName;
    if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST)
        throw EInOutError(IOCodeFromErrno(errno));
    const Descriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (dir.get() < 0)
        throw ECompileError(errno == ELOOP || errno == ENOTDIR
                                ? QStringLiteral("%1 in the project folder is not a folder.").arg(QLatin1String(folder))
                                : IOErrorText(IOCodeFromErrno(errno)) + QLatin1Char('.'));
    const QString target = ExtractFileName(ResolveName(QLatin1String(folder) + QLatin1Char('/') + saverName));
    if (target != saverName)   // built under its own name, which the compile's clean-up does not know
        RemoveStaleTemporaries(QLatin1Char('.') + target + QLatin1Char('-'), -1, {QByteArrayLiteral("MZ")});
    const BuiltSaver built = BuildSaverBeside(player, target, [&](TFileStream& saver) {
        if (::lseek(source, storeAt, SEEK_SET) < 0)
            throw EInOutError(IOCodeFromErrno(errno));
        if (const CopyOutcome copy = CopyFileRange(source, saver.Handle()); !copy.copied())
            throw SaverNotWritten{true, copyFailureText(copy)};
    });
    if (::renameat(AT_FDCWD, native(built->Name()).constData(), dir.get(), native(target).constData()) != 0)
        throw EInOutError(IOCodeFromErrno(errno));
    built->Placed();
    return target;
}

// Whether Windows can give a file this name: NTFS and FAT refuse control
// characters and <>:"/\|?*, and a device's name stands for the device in
// every folder. A screensaver so named could not be carried there.
bool isWindowsFileName(const QString& name)
{
    for (const QChar c : name)
        if (c.unicode() < 0x20 || QStringView(u"<>:\"/\\|?*").contains(c))
            return false;
    const QString base = name.section(QLatin1Char('.'), 0, 0).toUpper();
    static const QStringList devices = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                                        QStringLiteral("NUL")};
    const bool numbered = base.size() == 4 && (base.startsWith(QLatin1String("COM")) || base.startsWith(QLatin1String("LPT")))
                          && base[3] >= QLatin1Char('1') && base[3] <= QLatin1Char('9');
    return !devices.contains(base) && !numbered;
}

// The Windows screensaver, when GLIMMER.EXE lies beside the program: what
// became of it, for the user to be told. NAME.SCR is complete by now, as
// `written`.
TWindowsSaver compileWindowsSaver(const QString& programFolder, int source, qint64 storeAt, const QString& saverName,
                                  const QString& written)
{
    TWindowsSaver outcome;
    const QString windowsPlayer = programFolder + QStringLiteral("GLIMMER.EXE");
    if (!FileExists(windowsPlayer))
        return outcome;
    outcome.Name = QLatin1String(WindowsFolderName) + QLatin1Char('/') + saverName;
    // Why: the cause of a failed write (never another file's name in its
    // place), or what stood in the way.
    QString why;
    if (!isWindowsFileName(saverName)) {
        why = QStringLiteral("%1 cannot be the name of a file on Windows.").arg(saverName);
    } else {
        try {
            outcome.Name = QLatin1String(WindowsFolderName) + QLatin1Char('/') +
                           writeWindowsSaver(windowsPlayer, source, storeAt, saverName);
            outcome.State = TWindowsSaver::Written;
            return outcome;
        } catch (const SaverNotWritten& e) {
            why = e.why;
        } catch (const EGlimmerError& e) {
            why = e.Text();
        }
    }
    if (!why.endsWith(QLatin1Char('.')))
        why += QLatin1Char('.');
    outcome.State = TWindowsSaver::Failed;
    outcome.Problem = QStringLiteral("The Windows screensaver %1 could not be written: %2 %3 is complete.").arg(outcome.Name, why, written);
    return outcome;
}

// The pictures of one compile, open: each opened, and the store's size
// checked, before a byte is written.
using OpenPictures = std::vector<std::unique_ptr<TFileStream>>;

OpenPictures OpenEachPicture(const QStringList& pictureList, const QString& storeName)
{
    OpenPictures pictures;
    qint64 storeSize = SaverSettingsSize;
    for (const QString& name : pictureList.mid(0, MaxImages)) {
        pictures.push_back(openOrSay(name, TFileStream::NoLinks, QStringLiteral("The graphic %1 could not be opened").arg(name)));
        // Checked before copying so that a picture far too large is not
        // copied first; the copy stops at the limit should one grow meanwhile.
        storeSize += pictures.back()->Size();
        if (storeSize > MaxStoreSize)
            throw ECompileError(TooLargeText(storeName));
    }
    return pictures;
}

// Writes the image store at the end of `target` (named `targetName` in
// messages) and locates slots 1 to ImageCount; offsets count from the
// store's first byte.
void WriteStore(SaverSettings& settings, const QStringList& pictureList, const OpenPictures& pictures,
                TFileStream& target, const QString& targetName, const QString& storeName)
{
    std::array<ImageEntry, MaxImages> scratch{};
    const qint64 start = target.Seek(0, SEEK_END);
    // Reserves the record's room; it is written again once the slots are located.
    WriteRecord(target, settings, targetName);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        ImageEntry& entry = scratch[i];
        setSlotName(entry, pictureList[qsizetype(i)].left(MaxNameLength));
        const qint64 offset = target.Position() - start;
        const CopyOutcome copy = CopyFileRange(pictures[i]->Handle(), target.Handle(), MaxStoreSize - offset + 1);
        if (!copy.copied())
            throw ECompileError(ShortWriteText(targetName, copyFailureText(copy)));
        const qint64 end = target.Position() - start;
        if (end > MaxStoreSize)
            throw ECompileError(TooLargeText(storeName));
        entry.Offset = std::int32_t(offset);
        entry.Size = std::int32_t(end - offset);
    }

    const int located = std::clamp<int>(settings.ImageCount, 0, MaxImages);
    for (int k = 1; k <= located; ++k) {
        const qsizetype i = pictureList.indexOf(slotName(settings.Slot(k)));
        if (i >= 0 && std::size_t(i) < pictures.size())
            settings.Slot(k) = scratch[std::size_t(i)];
    }
    target.Seek(start, SEEK_SET);
    WriteRecord(target, settings, targetName);
    target.Seek(0, SEEK_END);
}

// Name, Offset and Size of each of slots 1 to ImageCount of `settings` from
// the slot of `packed` that names the same picture; the rest of the record
// is left alone, an empty slot included.
void locateSlots(SaverSettings& settings, const SaverSettings& packed)
{
    const int count = std::clamp<int>(settings.ImageCount, 0, MaxImages);
    for (int k = 1; k <= count; ++k) {
        const QString name = slotName(settings.Slot(k));
        for (int j = 1; j <= packed.ImageCount && !name.isEmpty(); ++j) {
            if (slotName(packed.Slot(j)) == name) {
                settings.Slot(k) = packed.Slot(j);
                break;
            }
        }
    }
}

// The name the store has as a file of its own: a file of that name in the
// project folder is a leftover of a compile that was killed. A link of that
// name is removed, never written through.
void RemoveLeftoverStore(const QString& storeName)
{
    struct stat st;
    if (::lstat(native(storeName).constData(), &st) == 0 && !S_ISDIR(st.st_mode))
        ::unlink(native(storeName).constData());
}

} // namespace

QStringList PictureList(const SaverSettings& settings)
{
    QStringList list;
    for (int k = 1; k <= MaxImages; ++k) {
        const QString name = slotName(settings.Slot(k));
        if (!name.isEmpty() && !list.contains(name))
            list << name;
    }
    return list;
}

std::optional<QString> firstMissingPicture(const SaverSettings& settings)
{
    for (int k = 1; k <= MaxImages; ++k) {
        const QString name = slotName(settings.Slot(k));
        if (!name.isEmpty() && !projectPictureExists(name))
            return name;
    }
    return std::nullopt;
}

void PackImageStore(SaverSettings& settings, const QStringList& pictureList, const QString& storeName)
{
    RemoveLeftoverStore(storeName);
    const OpenPictures pictures = OpenEachPicture(pictureList, storeName);
    TFileStream store(storeName, TFileStream::fmCreateNew);
    WriteStore(settings, pictureList, pictures, store, storeName, storeName);
    store.Close();
}

TCompiled CompileScreenSaver(SaverSettings& settings, const QString& screenSaverName, const QString& programFolder)
{
    // The store gets a closed-up copy; the program's record stays as the
    // user left it, for a later Save to write, and only learns where its
    // pictures lie.
    SaverSettings packed = settings.WithoutEmptySlots();
    if (const auto missing = firstMissingPicture(packed))
        throw ECompileError(missingGraphicText(*missing));
    if (packed.ImageCount == 0)
        throw ECompileError(QStringLiteral("The screensaver %1 has no pictures to compile.").arg(screenSaverName));
    const QStringList pictures = PictureList(packed);
    const QString& base = screenSaverName;
    const QString storeName = base + QStringLiteral(".SSC");
    const QString saverName = base + QStringLiteral(".SCR");
    // The store's name stays the compile's own: a file of that name goes as a
    // leftover, which would lose such a picture.
    for (const QString& name : pictures) {
        if (SameFile(name, storeName))
            throw ECompileError(QStringLiteral("The graphic %1 has the name of the image store and cannot be packed.").arg(name));
    }
    const QString stub = programFolder + QStringLiteral("GLIMMER.BIN");

    // The screensaver is built under a temporary name and renamed over
    // NAME.SCR only when complete, so a failure never leaves a broken one.
    // The store is written straight into it, after the player, and read
    // back from it for the Windows screensaver: each byte is written once
    // per file, as copying the files would.
    const CompileLock lock(base);
    // What killed compiles left behind goes first.
    // A screensaver under construction begins with its player: the X11
    // one (ELF) or the Windows one (MZ), both built here.
    RemoveStaleTemporaries(QLatin1Char('.') + saverName + QLatin1Char('-'), -1,
                           {QByteArrayLiteral("\x7F" "ELF"), QByteArrayLiteral("MZ")});
    RemoveLeftoverStore(storeName);
    const OpenPictures opened = OpenEachPicture(pictures, storeName);
    if (!FileExists(stub))
        throw ECompileError(QStringLiteral("The file ") + programFolder + QStringLiteral("GLIMMER.BIN' was not found."));
    qint64 storeAt = 0;
    const BuiltSaver built = [&] {
        try {
            return BuildSaverBeside(stub, saverName, [&](TFileStream& saver) {
                storeAt = saver.Position();
                WriteStore(packed, pictures, opened, saver, saverName, storeName);
            });
        } catch (const SaverNotWritten& e) {
            throw ECompileError(e.cutShort ? ShortWriteText(saverName, e.why) : CannotCreateText(saverName, e.why));
        }
    }();
    TCompiled compiled;
    compiled.SaverName = ResolveName(saverName);
    if (!RenameFile(built->Name(), compiled.SaverName))
        throw EInOutError(IOCodeFromErrno(errno));
    built->Placed();
    locateSlots(settings, packed);
    compiled.Windows = compileWindowsSaver(programFolder, built->Handle(), storeAt, saverName, compiled.SaverName);
    return compiled;
}

TCompiled compileProject(ProjectState& project)
{
    return CompileScreenSaver(project.Settings, project.ScreenSaverName(), project.ProgramFolder);
}
