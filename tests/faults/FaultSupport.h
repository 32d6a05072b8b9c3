#pragma once
// Faults made real for the tests: a disk that fills up, a folder that cannot
// be written, permission checks that apply to root too, a watch on a folder
// that tells which files were opened, and snapshots of what a folder holds.
// Plus the main window's commands driven as a user drives them.
#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <sys/resource.h>
#include <linux/capability.h>

class TSSMenuForm;

// A folder with little room. As root, a tmpfs of `bytes` is mounted on it;
// where mounting is refused (or FileSizeLimit is asked for), the process's
// file-size limit stands in: then no file may grow past the room left.
class SmallDisk {
public:
    enum class Kind { Tmpfs, FileSizeLimit };
    SmallDisk(const QString& folder, qint64 bytes, Kind kind);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool Ready() const { return ready_; }
    // Leaves `room` bytes (a tmpfs: whole pages of it) for new data, filling
    // the rest with the user's file FILLER.DAT.
    void LeaveRoom(qint64 room);
    // Gives the room back: the disk is no longer full.
    void MakeRoom();
private:
    QString folder_;
    Kind kind_;
    bool ready_ = false;
    bool limited_ = false;
    rlimit saved_{};
};

// A folder nothing can be written to: a read-only bind mount of it as root,
// else no write permission with the file capabilities dropped.
class ReadOnlyFolder {
public:
    enum class Kind { BindMount, Permissions };
    ReadOnlyFolder(const QString& folder, Kind kind);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool Ready() const { return ready_; }
private:
    QString folder_;
    Kind kind_;
    bool ready_ = false;
    bool mounted_ = false;
};

// Permission checks apply to this thread even as root while it lives.
class WithoutFileOverride {
public:
    WithoutFileOverride();
    ~WithoutFileOverride();
    WithoutFileOverride(const WithoutFileOverride&) = delete;
    WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;
    bool Active() const { return changed_; }
private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
};

// Tells which files of a folder were opened, read or written since it began.
class OpenWatch {
public:
    explicit OpenWatch(const QString& folder);
    ~OpenWatch();
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;
    QStringList Touched();   // names of files, in order, each once
private:
    int fd_ = -1;
    QStringList seen_;
};

// Every file below a folder with its bytes (folders as "name/").
using Snapshot = QMap<QString, QByteArray>;
Snapshot TakeSnapshot(const QString& folder);
// What changed between two snapshots, one line per file, for messages.
QStringList Differences(const Snapshot& before, const Snapshot& after);

// The main window's commands, driven with their dialogs answered.
void OpenProjectThroughDialog(TSSMenuForm& m, const QString& folder, const QString& name);
void ConfirmSlotEditor(TSSMenuForm& m);
void SaveSettingsDialog(TSSMenuForm& m);
// The Compile command to its end: the compile on its worker, the wait
// window's second and the messages.
void CompileToTheEnd(TSSMenuForm& m);

// A record with the given names in slots 1.. and ImageCount set to their number.
QByteArray ProjectRecord(const QStringList& names, int displayMode = 0);
// A bitmap file of `size` bytes (at least 70), its own for each seed.
QByteArray PictureBytes(int size, int seed);
// A real 24-bit Windows bitmap of w x h.
QByteArray BitmapFile(int w, int h);
