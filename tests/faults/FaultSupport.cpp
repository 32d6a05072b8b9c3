#include "FaultSupport.h"

#include "TestSupport.h"
#include "app/MainWindow.h"
#include "project/ProjectDialog.h"
#include "project/SlotNames.h"
#include "show/SettingsDialog.h"
#include "toolkit/FileControls.h"
#include "toolkit/Files.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
QByteArray native(const QString& path) { return QFile::encodeName(path); }
constexpr char Filler[] = "FILLER.DAT";
} // namespace

// ---------------------------------------------------------------- SmallDisk

SmallDisk::SmallDisk(const QString& folder, qint64 bytes, Kind kind) : folder_(folder), kind_(kind)
{
    if (kind_ == Kind::Tmpfs) {
        const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0777";
        ready_ = ::mount("glimmer-test", native(folder_).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0;
    } else {
        ready_ = ::getrlimit(RLIMIT_FSIZE, &saved_) == 0;
    }
}

SmallDisk::~SmallDisk()
{
    MakeRoom();
    if (kind_ == Kind::Tmpfs && ready_)
        ::umount2(native(folder_).constData(), MNT_DETACH);
}

void SmallDisk::LeaveRoom(qint64 room)
{
    const QString filler = QDir(folder_).filePath(QString::fromLatin1(Filler));
    if (kind_ == Kind::Tmpfs) {
        const int fd = ::open(native(filler).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            return;
        QByteArray block(64 * 1024, 'F');
        off_t size = 0;
        for (;;) {
            const ssize_t n = ::write(fd, block.constData(), std::size_t(block.size()));
            if (n <= 0)
                break;
            size += n;
        }
        if (::ftruncate(fd, size > room ? size - room : 0) != 0)
            std::perror("ftruncate");
        ::close(fd);
    } else {
        WriteAll(filler, QByteArray(4096, 'F'));
        const rlimit limit{rlim_t(room), saved_.rlim_max};
        limited_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
}

void SmallDisk::MakeRoom()
{
    if (limited_) {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        limited_ = false;
    }
    if (kind_ == Kind::Tmpfs && ready_)
        QFile::resize(QDir(folder_).filePath(QString::fromLatin1(Filler)), 0);
}

// ---------------------------------------------------------------- ReadOnlyFolder

ReadOnlyFolder::ReadOnlyFolder(const QString& folder, Kind kind) : folder_(folder), kind_(kind)
{
    const QByteArray path = native(folder_);
    if (kind_ == Kind::BindMount) {
        if (::mount(path.constData(), path.constData(), nullptr, MS_BIND, nullptr) != 0)
            return;
        mounted_ = true;
        ready_ = ::mount(nullptr, path.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        // A process already inside the folder stays below the new mount
        // until it enters the folder again, as the program would.
        if (ready_ && QDir(GetCurrentDir()) == QDir(folder_))
            ::chdir(path.constData());
    } else {
        ready_ = ::chmod(path.constData(), 0555) == 0;
    }
}

ReadOnlyFolder::~ReadOnlyFolder()
{
    if (mounted_)
        ::umount2(native(folder_).constData(), MNT_DETACH);
    if (kind_ == Kind::Permissions)
        ::chmod(native(folder_).constData(), 0755);
}

// ---------------------------------------------------------------- WithoutFileOverride

WithoutFileOverride::WithoutFileOverride()
{
    if (::syscall(SYS_capget, &header_, saved_) != 0)
        return;
    __user_cap_data_struct reduced[2];
    std::memcpy(reduced, saved_, sizeof reduced);
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
    changed_ = ::syscall(SYS_capset, &header_, reduced) == 0;
}

WithoutFileOverride::~WithoutFileOverride()
{
    if (changed_)
        ::syscall(SYS_capset, &header_, saved_);
}

// ---------------------------------------------------------------- OpenWatch

OpenWatch::OpenWatch(const QString& folder)
{
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ >= 0)
        ::inotify_add_watch(fd_, native(folder).constData(), IN_OPEN | IN_ACCESS | IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
}

OpenWatch::~OpenWatch()
{
    if (fd_ >= 0)
        ::close(fd_);
}

QStringList OpenWatch::Touched()
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = fd_ < 0 ? -1 : ::read(fd_, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + i);
            // Listings of folders are not opened files.
            if (e->len > 0 && !(e->mask & IN_ISDIR)) {
                const QString name = QFile::decodeName(e->name);
                if (!seen_.contains(name))
                    seen_ << name;
            }
            i += ssize_t(sizeof(inotify_event) + e->len);
        }
    }
    return seen_;
}

// ---------------------------------------------------------------- snapshots

Snapshot TakeSnapshot(const QString& folder)
{
    Snapshot s;
    const QDir root(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString rel = root.relativeFilePath(info.filePath());
        if (info.isDir())
            s[rel + QLatin1Char('/')] = QByteArray();
        else
            s[rel] = ReadAll(info.filePath());
    }
    return s;
}

QStringList Differences(const Snapshot& before, const Snapshot& after)
{
    QStringList d;
    for (auto it = before.begin(); it != before.end(); ++it) {
        if (!after.contains(it.key()))
            d << QStringLiteral("lost: ") + it.key();
        else if (after[it.key()] != it.value())
            d << QStringLiteral("changed: ") + it.key();
    }
    for (auto it = after.begin(); it != after.end(); ++it)
        if (!before.contains(it.key()))
            d << QStringLiteral("new: ") + it.key();
    return d;
}

// ---------------------------------------------------------------- commands

void OpenProjectThroughDialog(TSSMenuForm& m, const QString& folder, const QString& name)
{
    OnNextModal([=](QWidget* w) {
        auto* form = qobject_cast<TMakeDirForm*>(w);
        if (!form)
            return;
        form->Edit1->setText(folder);
        form->Edit2->setText(name);
        form->BitBtn1->click();
    });
    m.SelectBtnClick();
}

void ConfirmSlotEditor(TSSMenuForm& m)
{
    OnNextModal([](QWidget* w) {
        if (auto* ok = w->findChild<QPushButton*>(QStringLiteral("BitBtn1")))
            ok->click();
    });
    m.ImageBtnClick();
}

void SaveSettingsDialog(TSSMenuForm& m)
{
    OnNextModal([](QWidget* w) {
        if (auto* form = qobject_cast<TSMSetForm*>(w))
            form->BitBtn1->click();
    });
    m.SettingsBtnClick();
}

void CompileToTheEnd(TSSMenuForm& m)
{
    m.CompileBtnClick();
    QTRY_VERIFY_WITH_TIMEOUT(!m.Compiling(), 60000);
}

// ---------------------------------------------------------------- files

QByteArray ProjectRecord(const QStringList& names, int displayMode)
{
    SaverSettings s = newProjectSettings();
    s.DisplayMode = std::uint8_t(displayMode);
    s.DisplaySeconds = 1;
    s.DisplayTimes = 1;
    s.ImageCount = int(names.size());
    for (int k = 1; k <= names.size(); ++k)
        setSlotName(s.Slot(k), names[k - 1]);
    const SettingsBytes b = s.Encode();
    return QByteArray(reinterpret_cast<const char*>(b.data()), SaverSettingsSize);
}

QByteArray PictureBytes(int size, int seed)
{
    // A small bitmap first, so that the door takes it for a picture.
    QByteArray b = BitmapFile(2, 2);
    b.resize(std::max<qsizetype>(size, b.size()));
    for (qsizetype i = 70; i < b.size(); ++i)
        b[i] = char((i * 131 + seed * 7 + (i >> 8)) & 0xff);
    return b;
}

QByteArray BitmapFile(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 90));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return bytes;
}
