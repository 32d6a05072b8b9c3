#include "BitmapWriter.h"
#include "TestSupport.h"
#include "app/MainWindow.h"
#include "app/WaitWindow.h"
#include "controls/LumTile.h"
#include "images/SlotEditor.h"
#include "project/Project.h"
#include "project/ProjectDialog.h"
#include "show/ShowWindow.h"
#include "toolkit/FileControls.h"
#include "toolkit/Files.h"
#include "toolkit/Help.h"
#include "toolkit/Hints.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QKeySequence>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

namespace {
struct MainWindowTest : ::testing::Test {
    void SetUp() override { Project() = ProjectState{}; }
    void TearDown() override { Project() = ProjectState{}; }
};

// Answers the next project dialog with a folder and a name, as a user would.
void answerProjectDialog(const QString& folder, const QString& name)
{
    OnNextModal([=](QWidget* w) {
        auto* form = qobject_cast<TMakeDirForm*>(w);
        ASSERT_NE(form, nullptr);
        form->Edit1->setText(folder);
        form->Edit2->setText(name);
        form->BitBtn1->click();
    });
}

void cancelProjectDialog(const QString& browseTo)
{
    OnNextModal([=](QWidget* w) {
        auto* form = qobject_cast<TMakeDirForm*>(w);
        ASSERT_NE(form, nullptr);
        form->DirectoryListBox1->SetDirectory(browseTo);
        form->BitBtn2->click();
    });
}

QStringList enabledCommands(const TSSMenuForm& m)
{
    QStringList on;
    for (QPushButton* b : {m.SelectBtn, m.ImageBtn, m.SettingsBtn, m.ViewBtn, m.CompileBtn, m.AboutBtn, m.HelpBtn, m.QuitBtn})
        if (b->isEnabled())
            on << b->objectName();
    return on;
}

QByteArray recordWithCount(int count)
{
    SaverSettings s = newProjectSettings();
    s.ImageCount = count;
    for (int k = 1; k <= count; ++k)
        setSlotName(s.Slot(k), QString("P%1.BMP").arg(k));
    const SettingsBytes b = s.Encode();
    return QByteArray(reinterpret_cast<const char*>(b.data()), 235);
}
} // namespace

TEST_F(MainWindowTest, StartsWithOnlyTheProjectCommandAndNoneSelected)
{
    TSSMenuForm m;
    EXPECT_EQ(m.windowTitle(), QString("Glimmer Ver 1.1"));
    EXPECT_EQ(enabledCommands(m), (QStringList{"SelectBtn", "AboutBtn", "HelpBtn", "QuitBtn"}));
    EXPECT_EQ(m.Label1->text(), QString("None Selected"));
    EXPECT_EQ(m.Panel1->text(), QString("  Current ScreenSaver  :"));
    EXPECT_EQ(Project().ProjectFolder, Project().ProgramFolder);
    EXPECT_TRUE(Project().ProgramFolder.endsWith('/'));
    EXPECT_EQ(HelpFile(), Project().ProgramFolder + "GLIMMER.HLP");
    // The menu appears with the first tick of the start-up timer.
    m.show();
    EXPECT_FALSE(m.menuPnl->isVisible());
    QTRY_VERIFY(m.menuPnl->isVisible());
    EXPECT_FALSE(m.Timer1.isActive());
}

// The menu's buttons as they stand on the screen, top to bottom and left to
// right: what each says and which key presses it, whether it answers, the
// hint the status strip shows over it, the help topic F1 opens on it, and
// where it stands on the menu.
TEST_F(MainWindowTest, TheMenuAsTheUserSeesIt)
{
    TSSMenuForm m;
    m.show();
    QTRY_VERIFY(m.menuPnl->isVisible());
    QList<QPushButton*> buttons = m.menuPnl->findChildren<QPushButton*>();
    const auto place = [&](const QWidget* w) { return QRect(w->mapTo(m.menuPnl, QPoint()), w->size()); };
    std::sort(buttons.begin(), buttons.end(), [&](QPushButton* a, QPushButton* b) {
        const QRect pa = place(a), pb = place(b);
        return std::make_pair(pa.top(), pa.left()) < std::make_pair(pb.top(), pb.left());
    });
    QStringList seen;
    for (QPushButton* b : buttons) {
        UpdateHintFor(b);
        const QRect r = place(b);
        QString caption = b->text();
        seen << QString("%1 | %2 | %3 | '%4' | %5 | %6,%7 %8x%9")
                    .arg(caption.remove('&'), QKeySequence::mnemonic(b->text()).toString(), b->isEnabled() ? "on" : "off",
                         m.StatusPnl->text())
                    .arg(HelpContextOf(b))
                    .arg(r.left()).arg(r.top()).arg(r.width()).arg(r.height());
    }
    EXPECT_EQ(seen.join('\n').toStdString(), QStringList({
                        "Start/Select a ScreenSaver | Alt+S | on | ' Press F1 for Help' | 70 | 59,79 225x22",
                        "ScreenSaver Images | Alt+I | off | ' ' | 100 | 59,107 225x22",
                        "ScreenSaver Settings | Alt+R | off | ' Press F1 for Help' | 200 | 59,135 225x22",
                        "View ScreenSaver | Alt+V | off | ' Press F1 for Help' | 250 | 59,163 225x22",
                        "Compile ScreenSaver | Alt+C | off | ' Press F1 for Help' | 300 | 59,191 225x22",
                        "Help | Alt+H | on | ' Press F1 for Help' | 1 | 179,248 105x27",
                        "About | Alt+A | on | ' Press F1 for Help' | 1 | 59,250 105x27",
                        "Quit | Alt+Q | on | ' Press F1 for Help' | 1 | 96,296 151x27",
                    }).join('\n').toStdString());
    EXPECT_EQ(m.menuPnl->size(), QSize(343, 336));
}

TEST_F(MainWindowTest, MenuStaysCentredOnTheBackground)
{
    TSSMenuForm m;
    m.show();
    m.resize(1025, 801);
    m.FormActivate();
    const int tileW = m.lumTile1->width(), tileH = m.lumTile1->height();
    EXPECT_EQ(tileH, 801 - 18 - 16);
    EXPECT_EQ(m.menuPnl->pos(), QPoint(tileW / 2 - 343 / 2, tileH / 2 - 336 / 2));
}

TEST_F(MainWindowTest, SelectingANewNameInANewFolderCreatesTheProject)
{
    TempFolder t;
    MessageRecorder rec;
    TSSMenuForm m;
    m.show();
    answerProjectDialog(t.File("SAVERS"), "SUNSET");
    m.SelectBtnClick();
    EXPECT_TRUE(rec.Messages.isEmpty());
    EXPECT_EQ(GetCurrentDir(), t.File("SAVERS/"));
    EXPECT_EQ(Project().ProjectFolder, t.File("SAVERS/"));
    EXPECT_EQ(Project().ProjectFile, QString("SUNSET.SSJ"));
    EXPECT_EQ(ReadAll(t.File("SAVERS/SUNSET.SSJ")), recordWithCount(0));
    EXPECT_EQ(m.Label1->text(), QString("SUNSET"));
    EXPECT_EQ(enabledCommands(m), (QStringList{"SelectBtn", "ImageBtn", "SettingsBtn", "AboutBtn", "HelpBtn", "QuitBtn"}));
    EXPECT_TRUE(m.menuPnl->isVisible());
    EXPECT_EQ(m.focusWidget(), m.ImageBtn);
}

TEST_F(MainWindowTest, ANameTypedWithAFolderPartNamesTheProjectByItsLastPart)
{
    TempFolder t;
    MessageRecorder rec;
    TSSMenuForm m;
    answerProjectDialog(t.File("SAVERS"), "OLD\\SUNSET");
    m.SelectBtnClick();
    EXPECT_TRUE(rec.Messages.isEmpty());
    EXPECT_EQ(QDir(t.File("SAVERS")).entryList(QDir::Files), QStringList{"SUNSET.SSJ"});
    EXPECT_EQ(m.Label1->text(), QString("SUNSET"));
}

TEST_F(MainWindowTest, SelectingAnExistingProjectWithPicturesEnablesAll)
{
    TempFolder t;
    MessageRecorder rec;
    CreateDir(t.File("OLD"));
    WriteAll(t.File("OLD/MY.SSJ"), recordWithCount(3));
    TSSMenuForm m;
    answerProjectDialog(t.File("OLD"), "MY.SAVER");
    m.SelectBtnClick();
    EXPECT_EQ(Project().ProjectFile, QString("MY.SSJ"));
    EXPECT_EQ(m.Label1->text(), QString("MY"));
    EXPECT_EQ(Project().Settings.ImageCount, 3);
    EXPECT_EQ(enabledCommands(m).size(), 8);
    EXPECT_EQ(ReadAll(t.File("OLD/MY.SSJ")), recordWithCount(3));
}

TEST_F(MainWindowTest, CancelKeepsTheProjectAndItsFolderCurrent)
{
    TempFolder t;
    MessageRecorder rec;
    CreateDir(t.File("P"));
    CreateDir(t.File("ELSEWHERE"));
    TSSMenuForm m;
    answerProjectDialog(t.File("P"), "A");
    m.SelectBtnClick();
    cancelProjectDialog(t.File("ELSEWHERE"));
    m.SelectBtnClick();
    EXPECT_EQ(GetCurrentDir(), t.File("P/"));
    EXPECT_EQ(Project().ProjectFile, QString("A.SSJ"));
    EXPECT_EQ(m.Label1->text(), QString("A"));
    EXPECT_TRUE(m.menuPnl->isVisibleTo(&m));
    EXPECT_TRUE(rec.Messages.isEmpty());
}

TEST_F(MainWindowTest, AFolderThatCannotBeMadeIsReported)
{
    TempFolder t;
    MessageRecorder rec;
    CreateDir(t.File("P"));
    TSSMenuForm m;
    answerProjectDialog(t.File("P"), "A");
    m.SelectBtnClick();
    answerProjectDialog(t.File("NO/SUCH/FOLDER"), "B");
    m.SelectBtnClick();
    EXPECT_EQ(rec.Texts(), QStringList{"Unable to create the directory"});
    EXPECT_EQ(GetCurrentDir(), t.File("P/"));
    EXPECT_EQ(Project().ProjectFile, QString("A.SSJ"));
    EXPECT_EQ(m.Label1->text(), QString("A"));
}

TEST_F(MainWindowTest, AProjectFileThatFailsToLoadLeavesThePreviousProjectOpen)
{
    TempFolder t;
    MessageRecorder rec;
    CreateDir(t.File("GOOD"));
    CreateDir(t.File("BAD"));
    WriteAll(t.File("GOOD/G.SSJ"), recordWithCount(2));
    WriteAll(t.File("BAD/B.SSJ"), recordWithCount(2).left(100));
    TSSMenuForm m;
    answerProjectDialog(t.File("GOOD"), "G");
    m.SelectBtnClick();
    answerProjectDialog(t.File("BAD"), "B");
    m.SelectBtnClick();
    EXPECT_EQ(rec.Texts(), QStringList{"Read beyond end of file."});
    EXPECT_EQ(Project().ProjectFile, QString("G.SSJ"));
    EXPECT_EQ(Project().ProjectFolder, t.File("GOOD/"));
    EXPECT_EQ(GetCurrentDir(), t.File("GOOD/"));
    EXPECT_EQ(Project().Settings.ImageCount, 2);
    EXPECT_EQ(m.Label1->text(), QString("G"));
    EXPECT_EQ(enabledCommands(m).size(), 8);
    EXPECT_EQ(ReadAll(t.File("BAD/B.SSJ")).size(), 100);
}

TEST_F(MainWindowTest, AFirstProjectThatFailsToLoadLeavesNoneOpen)
{
    TempFolder t;
    MessageRecorder rec;
    CreateDir(t.File("BAD"));
    WriteAll(t.File("BAD/B.SSJ"), QByteArray());
    TSSMenuForm m;
    answerProjectDialog(t.File("BAD"), "B");
    m.SelectBtnClick();
    EXPECT_EQ(rec.Texts(), QStringList{"Read beyond end of file."});
    EXPECT_FALSE(Project().IsOpen());
    EXPECT_EQ(m.Label1->text(), QString("None Selected"));
    EXPECT_EQ(enabledCommands(m), (QStringList{"SelectBtn", "AboutBtn", "HelpBtn", "QuitBtn"}));
}

TEST_F(MainWindowTest, TheSuccessMessageByteForByte)
{
    const QByteArray expected =
        "The ScreenSaver SUNSET.SCR has been created.\n\r\n\r"
        "Copy it to the Windows folder and use\n\r"
        "Start|Settings|ControlPanel|Display|ScreenSaver\n\r"
        "to select it as the active ScreenSaver.";
    EXPECT_EQ(compileSuccessMessage("SUNSET").toLatin1(), expected);
}

TEST_F(MainWindowTest, EnterPressesTheFocusedCommand)
{
    HelpRecorder help;
    TSSMenuForm m;
    m.show();
    QTRY_VERIFY(m.menuPnl->isVisible());
    m.HelpBtn->setFocus();
    QTest::keyClick(m.HelpBtn, Qt::Key_Return);
    EXPECT_EQ(help.Contexts, QVector<int>{1});
}

TEST_F(MainWindowTest, HelpAndAbout)
{
    HelpRecorder help;
    TSSMenuForm m;
    m.show();
    QTRY_VERIFY(m.menuPnl->isVisible());
    m.HelpBtn->click();
    EXPECT_EQ(help.Contexts, QVector<int>{1});
    bool menuHiddenMeanwhile = false;
    OnNextModal([&](QWidget* w) {
        menuHiddenMeanwhile = !m.menuPnl->isVisibleTo(&m);
        EXPECT_EQ(w->objectName(), QString("AboutBox"));
        w->close();
    });
    m.AboutBtnClick();
    EXPECT_TRUE(menuHiddenMeanwhile);
    EXPECT_TRUE(m.menuPnl->isVisibleTo(&m));
    EXPECT_EQ(m.focusWidget(), m.AboutBtn);
}

namespace {
// The Compile command to its end: the compile on its worker, the wait
// window's second and the messages.
void compileToTheEnd(TSSMenuForm& m, bool byClick = false)
{
    byClick ? m.CompileBtn->click() : m.CompileBtnClick();
    QTRY_VERIFY_WITH_TIMEOUT(!m.Compiling(), 60000);
}

// A project with one picture and a player stub in a program folder of its own.
void makeCompilableProject(TempFolder& t)
{
    CreateDir(t.File("PROG"));
    WriteAll(t.File("PROG/GLIMMER.BIN"), QByteArray("STUB-PLAYER"));
    CreateDir(t.File("PRJ"));
    SetCurrentDir(t.File("PRJ"));
    WriteAll(t.File("PRJ/A.BMP"), QByteArray(1000, 'a'));
    Project().ProgramFolder = t.File("PROG/");
    Project().ProjectFolder = t.File("PRJ/");
    Project().ProjectFile = "SUNSET.SSJ";
    Project().Settings = newProjectSettings();
    Project().Settings.ImageCount = 1;
    setSlotName(Project().Settings.Slot(1), "A.BMP");
}
} // namespace

TEST_F(MainWindowTest, CompileKeepsTheWaitWindowUpThenReportsSuccess)
{
    TempFolder t;
    TSSMenuForm m;
    makeCompilableProject(t);
    m.updateCommands();
    MessageRecorder rec;
    bool waitShownAtMessage = false, secondPassed = false;
    rec.OnMessage = [&](const TMessage&) {
        waitShownAtMessage = m.WaitForm->isVisible();
        secondPassed = m.WaitElapsed;
    };
    compileToTheEnd(m, true);
    ASSERT_EQ(rec.Messages.size(), 1);
    EXPECT_EQ(rec.Messages[0].Text, compileSuccessMessage("SUNSET"));
    EXPECT_EQ(rec.Messages[0].Kind, TMsgKind::Information);
    EXPECT_EQ(rec.Messages[0].HelpContext, 310);
    EXPECT_TRUE(waitShownAtMessage);
    EXPECT_TRUE(secondPassed);
    EXPECT_FALSE(m.WaitForm->isVisible());
    EXPECT_EQ(ReadAll(t.File("PRJ/SUNSET.SCR")).left(11), QByteArray("STUB-PLAYER"));
    EXPECT_EQ(ReadAll(t.File("PRJ/SUNSET.SCR")).size(), 11 + 235 + 1000);
}

TEST_F(MainWindowTest, AFailedCompileShowsItsMessageAndNoSuccess)
{
    TempFolder t;
    TSSMenuForm m;
    makeCompilableProject(t);
    setSlotName(Project().Settings.Slot(1), "GONE.BMP");
    MessageRecorder rec;
    bool waitShown = false;
    rec.OnMessage = [&](const TMessage&) { waitShown = m.WaitForm->isVisible(); };
    compileToTheEnd(m);
    EXPECT_EQ(rec.Texts(), QStringList{"The graphic GONE.BMP was not found."});
    EXPECT_TRUE(waitShown);
    EXPECT_FALSE(m.WaitForm->isVisible());
    EXPECT_FALSE(m.WaitElapsed);
    EXPECT_FALSE(QFile::exists(t.File("PRJ/SUNSET.SCR")));
}

TEST_F(MainWindowTest, AFailedWindowsScreensaverIsToldOnItsOwnAfterTheSuccess)
{
    TempFolder t;
    TSSMenuForm m;
    makeCompilableProject(t);
    WriteAll(t.File("PROG/GLIMMER.EXE"), QByteArray("MZ-STUB"));
    WriteAll(t.File("PRJ/WINDOWS"), "a file where the folder would go");
    MessageRecorder rec;
    bool waitShownAtWarning = true;
    rec.OnMessage = [&](const TMessage& msg) {
        if (msg.Kind == TMsgKind::Warning)
            waitShownAtWarning = m.WaitForm->isVisible();
    };
    compileToTheEnd(m);
    ASSERT_EQ(rec.Messages.size(), 2);
    EXPECT_EQ(rec.Messages[0].Text, compileSuccessMessage("SUNSET"));
    EXPECT_EQ(rec.Messages[1].Kind, TMsgKind::Warning);
    EXPECT_TRUE(rec.Messages[1].Text.startsWith("The Windows screensaver WINDOWS/SUNSET.SCR could not be written"));
    EXPECT_FALSE(waitShownAtWarning);
    EXPECT_EQ(ReadAll(t.File("PRJ/SUNSET.SCR")).left(11), QByteArray("STUB-PLAYER"));
}

TEST_F(MainWindowTest, AnInputOutputErrorIsReportedAfterTheWaitWindowIsGone)
{
    TempFolder t;
    TSSMenuForm m;
    makeCompilableProject(t);
    // The screensaver's name is taken by a folder: the rename over it fails.
    ASSERT_TRUE(QDir(t.File("PRJ")).mkdir("SUNSET.SCR"));
    MessageRecorder rec;
    bool waitShown = true;
    rec.OnMessage = [&](const TMessage&) { waitShown = m.WaitForm->isVisible(); };
    compileToTheEnd(m);
    EXPECT_EQ(rec.Texts(), QStringList{"File access denied."});
    EXPECT_FALSE(waitShown);
    EXPECT_FALSE(m.WaitForm->isVisible());
    EXPECT_TRUE(QFileInfo(t.File("PRJ/SUNSET.SCR")).isDir());
    EXPECT_FALSE(QFile::exists(t.File("PRJ/SUNSET.SSC")));
}

TEST_F(MainWindowTest, TheSlotEditorDecidesWhetherTheShowAndTheCompilerAreOffered)
{
    TempFolder t;
    MessageRecorder rec;
    WriteAll(t.File("A.BMP"), "x");
    TSSMenuForm m;
    answerProjectDialog(t.Path(), "P");
    m.SelectBtnClick();
    // The file of slot 1 exists: confirming keeps it.
    setSlotName(Project().Settings.Slot(1), "A.BMP");
    OnNextModal([](QWidget* w) { w->findChild<QPushButton*>("BitBtn1")->click(); });
    m.ImageBtnClick();
    EXPECT_EQ(Project().Settings.ImageCount, 1);
    EXPECT_TRUE(m.ViewBtn->isEnabled());
    EXPECT_TRUE(m.CompileBtn->isEnabled());
    // Its file gone, confirming leaves no picture.
    QFile::remove(t.File("A.BMP"));
    OnNextModal([](QWidget* w) { w->findChild<QPushButton*>("BitBtn1")->click(); });
    m.ImageBtnClick();
    EXPECT_EQ(Project().Settings.ImageCount, 0);
    EXPECT_FALSE(m.ViewBtn->isEnabled());
    EXPECT_FALSE(m.CompileBtn->isEnabled());
    EXPECT_TRUE(m.menuPnl->isVisibleTo(&m));
}

// Remove, then the editor's close box and No: the slots are as the project
// file has them, so View and Compile show both pictures, and nothing writes
// the project file.
TEST_F(MainWindowTest, ASlotRemovedInAnEditorLeftByItsCloseBoxAndNoIsBackForViewAndCompile)
{
    TempFolder t;
    TSSMenuForm m;
    makeCompilableProject(t);
    WriteAll(t.File("PRJ/A.BMP"), BlankBitmap(40, 30, qRgb(30, 20, 10)));
    WriteAll(t.File("PRJ/B.BMP"), BlankBitmap(40, 30, qRgb(10, 20, 30)));
    Project().Settings.ImageCount = 2;
    setSlotName(Project().Settings.Slot(2), "B.BMP");
    SaveProject(Project());
    const QByteArray saved = ReadAll(t.File("PRJ/SUNSET.SSJ"));
    MessageRecorder rec;
    rec.Replies = {TMsgResult::No};
    OnNextModal([](QWidget* w) { qobject_cast<TSSAddForm*>(w)->BitBtn4->click(), w->close(); });   // slot 1
    m.ImageBtnClick();
    EXPECT_TRUE(Project().Settings == SaverSettings::Decode(reinterpret_cast<const std::uint8_t*>(saved.constData())));
    OnNextModal([](QWidget* w) { w->close(); });
    m.ViewBtnClick();   // any message would be recorded
    compileToTheEnd(m);
    EXPECT_EQ(rec.Texts(), QStringList({"Save the changes to the pictures?", compileSuccessMessage("SUNSET")}));
    EXPECT_EQ(ReadAll(t.File("PRJ/SUNSET.SSJ")), saved);
}
