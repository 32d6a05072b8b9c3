// A full disk and a project folder that cannot be written, met by the real
// commands of the main window: each ends with its message, nothing is
// reported as done, every file the user had stays as it was, and the same
// command works once the fault is gone.
#include "FaultSupport.h"
#include "TestSupport.h"
#include "app/WaitWindow.h"
#include "app/MainWindow.h"
#include "project/Project.h"
#include "toolkit/Files.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// The compile says which room ran out; the project file's commands tell
// every kind with the old "Disk full".
QString CompileFailureText(SmallDisk::Kind kind)
{
    return QStringLiteral("The file SUNSET.SCR could not be written completely: %1.")
        .arg(kind == SmallDisk::Kind::Tmpfs ? "Disk full" : "File too large");
}

// A project SUNSET in PRJ with two pictures (slot 1 filled, slot 2 picked but
// not yet confirmed), an earlier screensaver, and a program folder with its
// player. PRJ is left empty for the test to mount its fault on first.
class FaultProject {
public:
    FaultProject()
    {
        CreateDir(t.File("PROG"));
        CreateDir(t.File("PRJ"));
        WriteAll(t.File("PROG/GLIMMER.BIN"), PictureBytes(3000, 9));
    }
    QString Prj() const { return t.File("PRJ/"); }
    void MakeUserFiles()
    {
        WriteAll(Prj() + "A.BMP", BitmapFile(80, 80));
        WriteAll(Prj() + "B.BMP", BitmapFile(20, 10));
        WriteAll(Prj() + "SUNSET.SSJ", ProjectRecord({"A.BMP"}));
        WriteAll(Prj() + "SUNSET.SCR", "the screensaver compiled last week");
    }
    // Opens SUNSET as a user does and picks B.BMP for slot 2 in memory.
    void Open(TSSMenuForm& m)
    {
        OpenProjectThroughDialog(m, Prj(), "SUNSET");
        Project().ProgramFolder = t.File("PROG/");
        setSlotName(Project().Settings.Slot(2), "B.BMP");
    }
    TempFolder t;
};

// No message of the program's may speak of success.
void ExpectNoSuccess(const MessageRecorder& rec)
{
    for (const TMessage& msg : rec.Messages)
        EXPECT_NE(msg.Kind, TMsgKind::Information) << qPrintable(msg.Text);
}

struct MainWindowGuard {
    MainWindowGuard() { Project() = ProjectState{}; }
    ~MainWindowGuard() { Project() = ProjectState{}; }
};

class FullDisk : public ::testing::TestWithParam<SmallDisk::Kind> {
protected:
    void SetUp() override
    {
        disk = std::make_unique<SmallDisk>(p.Prj(), 256 * 1024, GetParam());
        if (!disk->Ready())
            GTEST_SKIP() << "this kind of small disk cannot be made here";
        p.MakeUserFiles();
    }
    void TearDown() override
    {
        SetCurrentDir(p.t.Path());
        disk.reset();
    }
    MainWindowGuard guard;
    FaultProject p;
    std::unique_ptr<SmallDisk> disk;
};

TEST_P(FullDisk, ConfirmingTheSlotsKeepsTheProjectFileAndTriesAgainLater)
{
    TSSMenuForm m;
    MessageRecorder rec;
    p.Open(m);
    ASSERT_TRUE(rec.Messages.isEmpty());
    disk->LeaveRoom(0);
    const Snapshot before = TakeSnapshot(p.Prj());
    ConfirmSlotEditor(m);
    EXPECT_EQ(rec.Texts(), QStringList{"Disk full."});
    ExpectNoSuccess(rec);
    EXPECT_EQ(Differences(before, TakeSnapshot(p.Prj())), QStringList());
    EXPECT_TRUE(m.menuPnl->isVisibleTo(&m));
    // The program goes on: with room again, the same confirm writes the file.
    disk->MakeRoom();
    rec.Clear();
    ConfirmSlotEditor(m);
    EXPECT_TRUE(rec.Messages.isEmpty());
    EXPECT_EQ(ReadAll(p.Prj() + "SUNSET.SSJ"), ProjectRecord({"A.BMP", "B.BMP"}));
}

TEST_P(FullDisk, SavingTheSettingsKeepsTheProjectFile)
{
    TSSMenuForm m;
    MessageRecorder rec;
    p.Open(m);
    disk->LeaveRoom(0);
    const Snapshot before = TakeSnapshot(p.Prj());
    SaveSettingsDialog(m);
    EXPECT_EQ(rec.Texts(), QStringList{"Disk full."});
    EXPECT_EQ(Differences(before, TakeSnapshot(p.Prj())), QStringList());
    disk->MakeRoom();
    rec.Clear();
    SaveSettingsDialog(m);
    EXPECT_TRUE(rec.Messages.isEmpty());
    EXPECT_EQ(ReadAll(p.Prj() + "SUNSET.SSJ").size(), SaverSettingsSize);
}

TEST_P(FullDisk, ANewProjectIsNotOpenedAndLeavesNoFile)
{
    TSSMenuForm m;
    MessageRecorder rec;
    p.Open(m);
    disk->LeaveRoom(0);
    const Snapshot before = TakeSnapshot(p.Prj());
    OpenProjectThroughDialog(m, p.Prj(), "WINTER");
    EXPECT_EQ(rec.Texts(), QStringList{"Disk full."});
    EXPECT_EQ(Differences(before, TakeSnapshot(p.Prj())), QStringList());
    // The project that was open stays open.
    EXPECT_EQ(Project().ProjectFile, QString("SUNSET.SSJ"));
    EXPECT_EQ(m.Label1->text(), QString("SUNSET"));
    EXPECT_TRUE(m.ImageBtn->isEnabled());
}

TEST_P(FullDisk, ACompileOnAFullDiskKeepsTheOldScreensaver)
{
    TSSMenuForm m;
    MessageRecorder rec;
    p.Open(m);
    disk->LeaveRoom(0);
    const Snapshot before = TakeSnapshot(p.Prj());
    CompileToTheEnd(m);
    EXPECT_EQ(rec.Texts(), QStringList{CompileFailureText(GetParam())});
    ExpectNoSuccess(rec);
    EXPECT_EQ(Differences(before, TakeSnapshot(p.Prj())), QStringList());
    EXPECT_FALSE(m.WaitForm->isVisible());
}

TEST_P(FullDisk, ADiskThatFillsWhileTheScreensaverIsWrittenKeepsTheOldOne)
{
    TSSMenuForm m;
    MessageRecorder rec;
    p.Open(m);
    // Room for the image store (235 + 19254 + 654 bytes, five pages), not for
    // the screensaver, which is the player (3000 bytes) and then the store.
    disk->LeaveRoom(20480);
    const Snapshot before = TakeSnapshot(p.Prj());
    CompileToTheEnd(m);
    EXPECT_EQ(rec.Texts(), QStringList{CompileFailureText(GetParam())});
    ExpectNoSuccess(rec);
    EXPECT_EQ(Differences(before, TakeSnapshot(p.Prj())), QStringList());
    // With room again the compile replaces the old screensaver.
    disk->MakeRoom();
    rec.Clear();
    CompileToTheEnd(m);
    ASSERT_EQ(rec.Messages.size(), 1);
    EXPECT_EQ(rec.Messages[0].Text, compileSuccessMessage("SUNSET"));
    EXPECT_EQ(ReadAll(p.Prj() + "SUNSET.SCR").size(),
              3000 + SaverSettingsSize + ReadAll(p.Prj() + "A.BMP").size() + ReadAll(p.Prj() + "B.BMP").size());
}

INSTANTIATE_TEST_SUITE_P(Faults, FullDisk, ::testing::Values(SmallDisk::Kind::Tmpfs, SmallDisk::Kind::FileSizeLimit),
                         [](const auto& info) {
                             return std::string(info.param == SmallDisk::Kind::Tmpfs ? "Tmpfs" : "FileSizeLimit");
                         });

class ReadOnlyProjectFolder : public ::testing::TestWithParam<ReadOnlyFolder::Kind> {
protected:
    void SetUp() override { p.MakeUserFiles(); }
    void TearDown() override { SetCurrentDir(p.t.Path()); }
    // Makes PRJ read-only for the rest of the test, root included. Without
    // a read-only mount the project file is made read-only too: a writable
    // one in a read-only folder is written in place.
    bool MakeReadOnly()
    {
        if (GetParam() == ReadOnlyFolder::Kind::Permissions)
            ::chmod(QFile::encodeName(p.Prj() + "SUNSET.SSJ").constData(), 0444);
        folder = std::make_unique<ReadOnlyFolder>(p.Prj(), GetParam());
        if (GetParam() == ReadOnlyFolder::Kind::Permissions && ::geteuid() == 0) {
            noOverride = std::make_unique<WithoutFileOverride>();
            if (!noOverride->Active())
                return false;
        }
        return folder->Ready();
    }
    MainWindowGuard guard;
    FaultProject p;
    std::unique_ptr<WithoutFileOverride> noOverride;   // given back before the folder
    std::unique_ptr<ReadOnlyFolder> folder;
};

TEST_P(ReadOnlyProjectFolder, EveryCommandThatWritesSaysSoAndChangesNothing)
{
    TSSMenuForm m;
    MessageRecorder rec;
    p.Open(m);
    const Snapshot before = TakeSnapshot(p.Prj());
    if (!MakeReadOnly())
        GTEST_SKIP() << "the folder cannot be made read-only here";

    ConfirmSlotEditor(m);
    EXPECT_EQ(rec.Texts(), QStringList{"File access denied."}) << "confirm";
    rec.Clear();
    SaveSettingsDialog(m);
    EXPECT_EQ(rec.Texts(), QStringList{"File access denied."}) << "settings";
    rec.Clear();
    CompileToTheEnd(m);
    EXPECT_EQ(rec.Texts(), QStringList{"File access denied."}) << "compile";
    rec.Clear();
    OpenProjectThroughDialog(m, p.Prj(), "WINTER");
    EXPECT_EQ(rec.Texts(), QStringList{"File access denied."}) << "new project";
    ExpectNoSuccess(rec);
    EXPECT_EQ(Project().ProjectFile, QString("SUNSET.SSJ"));
    EXPECT_EQ(Differences(before, TakeSnapshot(p.Prj())), QStringList());
    EXPECT_TRUE(m.menuPnl->isVisibleTo(&m));
}

TEST_P(ReadOnlyProjectFolder, TheShowStillRunsFromIt)
{
    TSSMenuForm m;
    MessageRecorder rec;
    p.Open(m);
    if (!MakeReadOnly())
        GTEST_SKIP() << "the folder cannot be made read-only here";
    bool shown = false;
    OnNextModal([&](QWidget* w) {
        shown = w->objectName() == "SMViewForm";
        w->close();
    });
    m.ViewBtnClick();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(rec.Messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Faults, ReadOnlyProjectFolder,
                         ::testing::Values(ReadOnlyFolder::Kind::BindMount, ReadOnlyFolder::Kind::Permissions),
                         [](const auto& info) {
                             return std::string(info.param == ReadOnlyFolder::Kind::BindMount ? "BindMount" : "Permissions");
                         });

} // namespace
