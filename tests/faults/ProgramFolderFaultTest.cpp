// The program folder without its player or its help file, and a screensaver
// file that cannot be replaced: each is named, nothing is reported as done,
// and what the user had stays.
#include "FaultSupport.h"
#include "TestSupport.h"
#include "app/WaitWindow.h"
#include "app/MainWindow.h"
#include "project/Project.h"
#include "toolkit/Files.h"
#include "toolkit/Help.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ProgramFolderFault : public ::testing::Test {
protected:
    void SetUp() override
    {
        Project() = ProjectState{};
        savedHelp = HelpFile();
        CreateDir(t.File("PROG"));
        CreateDir(t.File("PRJ"));
        WriteAll(t.File("PRJ/A.BMP"), BitmapFile(40, 30));
        WriteAll(t.File("PRJ/SUNSET.SSJ"), ProjectRecord({"A.BMP"}));
        WriteAll(t.File("PRJ/SUNSET.SCR"), "the screensaver compiled last week");
    }
    void TearDown() override
    {
        SetHelpFile(savedHelp);
        SetCurrentDir(t.Path());
        Project() = ProjectState{};
    }
    QString Prj() const { return t.File("PRJ/"); }
    QString Prog() const { return t.File("PROG/"); }
    // The program started from PROG, which holds only what the test put there.
    void Open(TSSMenuForm& m)
    {
        OpenProjectThroughDialog(m, Prj(), "SUNSET");
        Project().ProgramFolder = Prog();
        SetHelpFile(Prog() + "GLIMMER.HLP");
    }
    void ExpectNoSuccess(const MessageRecorder& rec)
    {
        for (const TMessage& msg : rec.Messages)
            EXPECT_NE(msg.Kind, TMsgKind::Information) << qPrintable(msg.Text);
    }
    TempFolder t;
    QString savedHelp;
};

TEST_F(ProgramFolderFault, WithoutThePlayerTheCompileSaysWhichFileIsMissing)
{
    TSSMenuForm m;
    MessageRecorder rec;
    Open(m);
    const Snapshot before = TakeSnapshot(Prj());
    CompileToTheEnd(m);
    EXPECT_EQ(rec.Texts(), QStringList{"The file " + Prog() + "GLIMMER.BIN' was not found."});
    ExpectNoSuccess(rec);
    EXPECT_EQ(Differences(before, TakeSnapshot(Prj())), QStringList());
    EXPECT_FALSE(m.WaitForm->isVisible());
    EXPECT_TRUE(m.CompileBtn->isEnabled());
    // The program goes on: with the player in place the compile works.
    WriteAll(Prog() + "GLIMMER.BIN", "PLAYER");
    rec.Clear();
    CompileToTheEnd(m);
    ASSERT_EQ(rec.Messages.size(), 1);
    EXPECT_EQ(rec.Messages[0].Text, compileSuccessMessage("SUNSET"));
    EXPECT_EQ(ReadAll(Prj() + "SUNSET.SCR").left(6), QByteArray("PLAYER"));
}

TEST_F(ProgramFolderFault, WithoutTheHelpFileHelpSaysWhereItWasLookedFor)
{
    TSSMenuForm m;
    MessageRecorder rec;
    Open(m);
    m.HelpBtnClick();
    EXPECT_EQ(rec.Texts(), QStringList{"The help file " + Prog() + "GLIMMER.HLP was not found."});
    EXPECT_EQ(rec.Messages[0].Kind, TMsgKind::Error);
    // The compile's success message offers help too; the missing file ends
    // nothing.
    WriteAll(Prog() + "GLIMMER.BIN", "PLAYER");
    rec.Clear();
    CompileToTheEnd(m);
    ASSERT_EQ(rec.Messages.size(), 1);
    EXPECT_EQ(rec.Messages[0].HelpContext, 310);
    EXPECT_TRUE(m.menuPnl->isVisibleTo(&m));
    EXPECT_TRUE(m.SelectBtn->isEnabled());
}

TEST_F(ProgramFolderFault, AScreensaverNameTakenByAFolderIsNotReplaced)
{
    TSSMenuForm m;
    MessageRecorder rec;
    QFile::remove(Prj() + "SUNSET.SCR");
    CreateDir(Prj() + "SUNSET.SCR");
    WriteAll(Prj() + "SUNSET.SCR/KEEP.TXT", "the user's");
    WriteAll(Prog() + "GLIMMER.BIN", "PLAYER");
    Open(m);
    const Snapshot before = TakeSnapshot(Prj());
    CompileToTheEnd(m);
    EXPECT_EQ(rec.Texts(), QStringList{"File access denied."});
    ExpectNoSuccess(rec);
    EXPECT_EQ(Differences(before, TakeSnapshot(Prj())), QStringList());
}

TEST_F(ProgramFolderFault, AScreensaverOfAnotherUserInASharedFolderIsNotReplaced)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the old screensaver to another user";
    TSSMenuForm m;
    MessageRecorder rec;
    WriteAll(Prog() + "GLIMMER.BIN", "PLAYER");
    // A folder like /tmp: everyone may add files, only owners may replace them.
    ASSERT_EQ(::chmod(QFile::encodeName(Prj()).constData(), 01777), 0);
    ASSERT_EQ(::chown(QFile::encodeName(Prj()).constData(), 4343, 4343), 0);
    ASSERT_EQ(::chown(QFile::encodeName(Prj() + "SUNSET.SCR").constData(), 4242, 4242), 0);
    Open(m);
    const Snapshot before = TakeSnapshot(Prj());
    {
        WithoutFileOverride asAUser;
        ASSERT_TRUE(asAUser.Active());
        CompileToTheEnd(m);
    }
    EXPECT_EQ(rec.Texts(), QStringList{"File access denied."});
    ExpectNoSuccess(rec);
    EXPECT_EQ(Differences(before, TakeSnapshot(Prj())), QStringList());
}

} // namespace
