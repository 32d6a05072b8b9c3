// Project files that are short, long or damaged, and slot names from a
// damaged file that reach out of the project folder, met by the real
// commands: each ends with its message or is made sound, and nothing outside
// the project folder is ever opened or written.
#include "FaultSupport.h"
#include "TestSupport.h"
#include "app/MainWindow.h"
#include "images/SlotEditor.h"
#include "project/Project.h"
#include "toolkit/Files.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ProjectFileFault : public ::testing::Test {
protected:
    void SetUp() override
    {
        Project() = ProjectState{};
        CreateDir(t.File("PROG"));
        CreateDir(t.File("PRJ"));
        CreateDir(t.File("PRJ/SUB"));
        WriteAll(t.File("PROG/GLIMMER.BIN"), PictureBytes(500, 3));
        WriteAll(t.File("OUT.BMP"), BitmapFile(30, 20));   // outside the project
        WriteAll(t.File("PRJ/SUB/X.BMP"), BitmapFile(30, 20));
        WriteAll(t.File("PRJ/A.BMP"), BitmapFile(40, 30));
        WriteAll(t.File("PRJ/GOOD.SSJ"), ProjectRecord({"A.BMP"}));
    }
    void TearDown() override
    {
        SetCurrentDir(t.Path());
        Project() = ProjectState{};
    }
    QString Prj() const { return t.File("PRJ/"); }
    void Open(TSSMenuForm& m, const QString& name)
    {
        OpenProjectThroughDialog(m, Prj(), name);
        Project().ProgramFolder = t.File("PROG/");
    }
    TempFolder t;
};

QByteArray Damaged()
{
    QByteArray b = ProjectRecord({"A.BMP", "GONE.BMP"});
    b[4] = 7;                      // display mode
    b[5] = char(0xfb);             // Float speed -5
    b[6] = b[7] = b[8] = char(0xff);
    b[21] = char(200);             // ImageCount 200
    b[25 + 21 * 6] = char(99);     // slot 7: a name of 99 characters
    return b;
}

TEST_F(ProjectFileFault, AShortProjectFileIsReportedAndTheOpenProjectStays)
{
    TSSMenuForm m;
    MessageRecorder rec;
    Open(m, "GOOD");
    for (const int size : {0, 1, 234}) {
        WriteAll(Prj() + "SHORT.SSJ", ProjectRecord({"A.BMP"}).left(size));
        rec.Clear();
        Open(m, "SHORT");
        EXPECT_EQ(rec.Texts(), QStringList{"Read beyond end of file."}) << size;
        EXPECT_EQ(ReadAll(Prj() + "SHORT.SSJ").size(), size);
        EXPECT_EQ(Project().ProjectFile, QString("GOOD.SSJ"));
        EXPECT_EQ(m.Label1->text(), QString("GOOD"));
        EXPECT_TRUE(m.ViewBtn->isEnabled());
    }
}

TEST_F(ProjectFileFault, ALongProjectFileOpensFromItsFirst235BytesUntouched)
{
    TSSMenuForm m;
    MessageRecorder rec;
    const QByteArray file = ProjectRecord({"A.BMP"}) + QByteArray(100, '\x5a');
    WriteAll(Prj() + "LONG.SSJ", file);
    Open(m, "LONG");
    EXPECT_TRUE(rec.Messages.isEmpty());
    EXPECT_EQ(Project().Settings.ImageCount, 1);
    EXPECT_EQ(slotName(Project().Settings.Slot(1)), QString("A.BMP"));
    EXPECT_EQ(ReadAll(Prj() + "LONG.SSJ"), file);
}

TEST_F(ProjectFileFault, ADamagedProjectFileIsBroughtIntoRangeAndItsMissingPictureNamed)
{
    TSSMenuForm m;
    MessageRecorder rec;
    WriteAll(Prj() + "BAD.SSJ", Damaged());
    Open(m, "BAD");
    EXPECT_TRUE(rec.Messages.isEmpty());
    const SaverSettings& s = Project().Settings;
    EXPECT_EQ(s.ImageCount, 10);
    EXPECT_EQ(s.DisplayMode, 1);
    EXPECT_EQ(s.FloatSpeed, MinFloatSpeed);
    EXPECT_EQ(s.Slot(7).NameLength, MaxNameLength);

    ModalWatch watch = OnNextModal([](QWidget* w) { w->close(); });
    m.ViewBtnClick();
    watch.Cancel();
    EXPECT_EQ(rec.Texts(), QStringList{"The graphic GONE.BMP was not found."});
    rec.Clear();
    CompileToTheEnd(m);
    EXPECT_EQ(rec.Texts(), QStringList{"The graphic GONE.BMP was not found."});
    EXPECT_FALSE(FileExists(Prj() + "BAD.SCR"));
    EXPECT_FALSE(FileExists(Prj() + "BAD.SSC"));

    // The confirm keeps what is there, names what it drops (slot 7's name is
    // twelve zero bytes) and writes a sound record.
    rec.Clear();
    ConfirmSlotEditor(m);
    EXPECT_EQ(rec.Texts(), QStringList{"These pictures are not in the project folder, so they are left out: GONE.BMP, ????????????."});
    const QByteArray saved = ReadAll(Prj() + "BAD.SSJ");
    ASSERT_EQ(saved.size(), SaverSettingsSize);
    SaverSettings back = SaverSettings::Decode(reinterpret_cast<const std::uint8_t*>(saved.constData()));
    EXPECT_FALSE(back.Normalize());
    EXPECT_EQ(back.ImageCount, 1);
    EXPECT_EQ(slotName(back.Slot(1)), QString("A.BMP"));
    EXPECT_TRUE(m.ViewBtn->isEnabled());
}

// Names a damaged file may hold that lead out of the project folder; the
// files they lead to exist, so any command that followed them would succeed.
const QStringList LeavingNames = {"../OUT.BMP", "SUB/X.BMP", "..", "./A.BMP", "/tmp"};

TEST_F(ProjectFileFault, NamesThatLeaveTheFolderAreNeverFollowed)
{
    TSSMenuForm m;
    MessageRecorder rec;
    for (const QString& bad : LeavingNames) {
        SCOPED_TRACE(qPrintable(bad));
        WriteAll(Prj() + "BAD.SSJ", ProjectRecord({"A.BMP", bad}));
        rec.Clear();
        Open(m, "BAD");
        ASSERT_EQ(Project().ProjectFile, QString("BAD.SSJ"));
        const Snapshot outside = TakeSnapshot(t.Path());
        OpenWatch parent(t.Path());
        OpenWatch sub(Prj() + "SUB");
        const QString notFound = "The graphic " + bad + " was not found.";

        // The show.
        ModalWatch show = OnNextModal([](QWidget* w) { w->close(); });
        m.ViewBtnClick();
        show.Cancel();
        EXPECT_EQ(rec.Texts(), QStringList{notFound}) << "show";

        // The slot editor's View on slot 2.
        rec.Clear();
        bool viewOpened = false;
        OnNextModal([&](QWidget* w) {
            auto* editor = qobject_cast<TSSAddForm*>(w);
            ASSERT_NE(editor, nullptr);
            editor->Radios[1]->click();
            ModalWatch view = OnNextModal([&](QWidget* v) {
                if (v->objectName() == "SMTestForm") {
                    viewOpened = true;
                    v->close();
                }
            });
            editor->BitBtn3Click();
            view.Cancel();
            editor->reject();
        });
        m.ImageBtnClick();
        EXPECT_FALSE(viewOpened);
        EXPECT_EQ(rec.Texts(), QStringList{notFound}) << "view";

        // The compile.
        rec.Clear();
        CompileToTheEnd(m);
        EXPECT_EQ(rec.Texts(), QStringList{notFound}) << "compile";
        EXPECT_FALSE(FileExists(Prj() + "BAD.SCR"));

        // The confirm drops the name and says so.
        rec.Clear();
        ConfirmSlotEditor(m);
        EXPECT_EQ(rec.Texts(), QStringList{"The picture " + bad + " is not in the project folder, so it is left out."});
        const QByteArray saved = ReadAll(Prj() + "BAD.SSJ");
        ASSERT_EQ(saved.size(), SaverSettingsSize);
        const SaverSettings back = SaverSettings::Decode(reinterpret_cast<const std::uint8_t*>(saved.constData()));
        EXPECT_EQ(back.ImageCount, 1);
        EXPECT_EQ(slotName(back.Slot(1)), QString("A.BMP"));
        EXPECT_TRUE(back.Slot(2).IsEmpty());

        EXPECT_EQ(parent.Touched(), QStringList());
        EXPECT_EQ(sub.Touched(), QStringList());
        Snapshot now = TakeSnapshot(t.Path());
        now.remove("PRJ/BAD.SSJ");
        Snapshot was = outside;
        was.remove("PRJ/BAD.SSJ");
        EXPECT_EQ(Differences(was, now), QStringList());
    }
}


// Saving replaces the project file with a whole new one (a failed save never
// leaves it damaged), yet keeps what the user had made of the old one.
class ProjectSave : public ::testing::Test {
protected:
    void SetUp() override
    {
        Project() = ProjectState{};
        CreateDir(t.File("PRJ"));
        SetCurrentDir(t.File("PRJ"));
        Project().ProjectFolder = t.File("PRJ/");
        Project().ProjectFile = "SUNSET.SSJ";
        Project().Settings = newProjectSettings();
        Project().Settings.BackgroundColor = 0x123456;
    }
    void TearDown() override
    {
        SetCurrentDir(t.Path());
        Project() = ProjectState{};
    }
    QString File() const { return t.File("PRJ/SUNSET.SSJ"); }
    QString SaveError()
    {
        try {
            SaveProject(Project());
        } catch (const std::exception& e) {
            return QString::fromUtf8(e.what());
        }
        return QString();
    }
    static QByteArray Saved() { const SettingsBytes b = Project().Settings.Encode(); return QByteArray(reinterpret_cast<const char*>(b.data()), int(b.size())); }
    static struct stat Stat(const QString& path)
    {
        struct stat st{};
        ::lstat(QFile::encodeName(path).constData(), &st);
        return st;
    }
    TempFolder t;
};

TEST_F(ProjectSave, AFileTheUserMayNotWriteIsNotReplaced)
{
    const QByteArray old = ProjectRecord({"A.BMP"});
    WriteAll(File(), old);
    ASSERT_EQ(::chmod(QFile::encodeName(File()).constData(), 0444), 0);
    WithoutFileOverride asUser;
    if (::geteuid() == 0 && !asUser.Active())
        GTEST_SKIP() << "root whose permission checks cannot be turned on";
    EXPECT_EQ(SaveError(), "File access denied");
    EXPECT_EQ(ReadAll(File()), old);
    EXPECT_EQ(Stat(File()).st_mode & 07777, 0444u);
    // Nor is one of another user's that the user may not write.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(File()).constData(), 0644), 0);
        ASSERT_EQ(::chown(QFile::encodeName(File()).constData(), 65534, 65534), 0);
        EXPECT_EQ(SaveError(), "File access denied");
        EXPECT_EQ(ReadAll(File()), old);
        EXPECT_EQ(Stat(File()).st_uid, 65534u);
    }
    EXPECT_EQ(QDir(t.File("PRJ")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"SUNSET.SSJ"});
}

TEST_F(ProjectSave, TheModeGroupAndOtherNamesOfTheFileStay)
{
    WriteAll(File(), ProjectRecord({"A.BMP"}));
    ASSERT_EQ(::chmod(QFile::encodeName(File()).constData(), 0640), 0);
    // A group other than the user's own, where the user may choose one.
    gid_t other = gid_t(-1);
    if (::geteuid() == 0) {
        other = 65534;
    } else {
        gid_t groups[64];
        const int n = ::getgroups(64, groups);
        for (int i = 0; i < n; ++i)
            if (groups[i] != ::getegid())
                other = groups[i];
    }
    if (other != gid_t(-1)) {
        ASSERT_EQ(::chown(QFile::encodeName(File()).constData(), uid_t(-1), other), 0);
    }
    EXPECT_EQ(SaveError(), QString());
    EXPECT_EQ(ReadAll(File()), Saved());
    EXPECT_EQ(Stat(File()).st_mode & 07777, 0640u);
    if (other != gid_t(-1)) {
        EXPECT_EQ(Stat(File()).st_gid, other);
    }

    // A second name of the same file sees the new record too.
    ASSERT_EQ(::link(QFile::encodeName(File()).constData(), QFile::encodeName(t.File("TWIN.SSJ")).constData()), 0);
    Project().Settings.BackgroundColor = 0x00FF00;
    EXPECT_EQ(SaveError(), QString());
    EXPECT_EQ(ReadAll(t.File("TWIN.SSJ")), Saved());
    EXPECT_EQ(Stat(File()).st_ino, Stat(t.File("TWIN.SSJ")).st_ino);
}

TEST_F(ProjectSave, ALinkIsWrittenThroughOnlyToAnotherProjectFileBesideIt)
{
    WriteAll(t.File("PRJ/REAL.SSJ"), ProjectRecord({"A.BMP"}));
    ASSERT_EQ(::symlink("REAL.SSJ", QFile::encodeName(File()).constData()), 0);
    EXPECT_EQ(SaveError(), QString());
    EXPECT_TRUE(S_ISLNK(Stat(File()).st_mode));
    EXPECT_EQ(ReadAll(t.File("PRJ/REAL.SSJ")), Saved());

    // A link to another project of the user's, outside the folder: loading
    // and saving through it would empty that project's slots.
    CreateDir(t.File("ELSEWHERE"));
    const QByteArray theirs = ProjectRecord({"A.BMP"});
    WriteAll(t.File("ELSEWHERE/REAL.SSJ"), theirs);
    ASSERT_EQ(::unlink(QFile::encodeName(File()).constData()), 0);
    ASSERT_EQ(::symlink("../ELSEWHERE/REAL.SSJ", QFile::encodeName(File()).constData()), 0);
    EXPECT_THROW(LoadProject(Project()), EInOutError);
    EXPECT_EQ(SaveError(), "File access denied");
    EXPECT_EQ(ReadAll(t.File("ELSEWHERE/REAL.SSJ")), theirs);
    EXPECT_EQ(QDir(t.File("ELSEWHERE")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList{"REAL.SSJ"});

    // A link to a file of another kind (a stranger's folder pointing at the
    // user's start-up script) is neither read nor written.
    const QByteArray script = "export PATH=$HOME/bin:$PATH\n" + QByteArray(300, '#');
    WriteAll(t.File("ELSEWHERE/.profile"), script);
    ASSERT_EQ(::unlink(QFile::encodeName(File()).constData()), 0);
    ASSERT_EQ(::symlink("../ELSEWHERE/.profile", QFile::encodeName(File()).constData()), 0);
    EXPECT_EQ(SaveError(), "File access denied");
    EXPECT_THROW(LoadProject(Project()), EInOutError);
    // Nor one that leads nowhere: the save would create its target.
    ASSERT_EQ(::unlink(QFile::encodeName(File()).constData()), 0);
    ASSERT_EQ(::symlink("../ELSEWHERE/NEW.SSJ", QFile::encodeName(File()).constData()), 0);
    EXPECT_EQ(SaveError(), "File access denied");
    EXPECT_EQ(ReadAll(t.File("ELSEWHERE/.profile")), script);
    EXPECT_FALSE(QFile::exists(t.File("ELSEWHERE/NEW.SSJ")));
}

TEST_F(ProjectSave, AWritableFileInAFolderThatTakesNoNewFileIsWrittenInPlace)
{
    WriteAll(File(), ProjectRecord({"A.BMP"}));
    ASSERT_EQ(::chmod(QFile::encodeName(File()).constData(), 0666), 0);
    const ino_t inode = Stat(File()).st_ino;
    ReadOnlyFolder folder(t.File("PRJ"), ReadOnlyFolder::Kind::Permissions);
    WithoutFileOverride asUser;
    if (!folder.Ready() || (::geteuid() == 0 && !asUser.Active()))
        GTEST_SKIP() << "no folder without write permission can be made here";
    EXPECT_EQ(SaveError(), QString());
    EXPECT_EQ(ReadAll(File()), Saved());
    EXPECT_EQ(Stat(File()).st_ino, inode);
}

} // namespace
