#include "TestSupport.h"
#include "toolkit/Cursor.h"
#include "toolkit/Dialogs.h"
#include "toolkit/FileControls.h"
#include "toolkit/Files.h"
#include "toolkit/Help.h"
#include "toolkit/Hints.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

TEST(Cursor, DisplayCountFollowsTheOldRules)
{
    ResetMouseCursorCount();
    HideMouseCursor();
    EXPECT_EQ(MouseCursorCount(), -1);
    HideMouseCursor();   // raises once, then lowers until negative: stays -1
    EXPECT_EQ(MouseCursorCount(), -1);
    ShowMouseCursor();
    EXPECT_EQ(MouseCursorCount(), 0);
    ShowMouseCursor();
    EXPECT_EQ(MouseCursorCount(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    HideMouseCursor();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    {
        CursorVisibleScope visible;
        EXPECT_EQ(MouseCursorCount(), 0);
    }
    EXPECT_EQ(MouseCursorCount(), -1);
    ShowMouseCursor();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(Messages, StandardErrorReportAddsAFullStop)
{
    MessageRecorder rec;
    ShowErrorReport("File not found");
    ShowErrorReport("Already ends.");
    ShowError("A filename must be entered.");
    ASSERT_EQ(rec.Messages.size(), 3);
    EXPECT_EQ(rec.Messages[0].Text, QString("File not found."));
    EXPECT_EQ(rec.Messages[0].Title, ApplicationTitle());
    EXPECT_EQ(rec.Messages[0].Kind, TMsgKind::Error);
    EXPECT_EQ(rec.Messages[1].Text, QString("Already ends."));
    EXPECT_EQ(rec.Messages[2].Title, QString("Error"));
    rec.Answers = {false, true};
    EXPECT_FALSE(AskYesNo("Sure?"));
    EXPECT_TRUE(AskYesNo("Sure?"));
    EXPECT_EQ(rec.Messages.back().Title, QString("Confirm"));
}

TEST(Messages, ALineToCopyGoesOnTheClipboardAndAFurtherButtonAnswers)
{
    QGuiApplication::clipboard()->clear();
    bool stayed = false;
    // Copy Line leaves the box up; the further button ends it, as its answer.
    WhenModal([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        const auto press = [&](const QString& caption) {
            for (QAbstractButton* b : box->buttons())
                if (b->text() == caption)
                    b->click();
        };
        press("&Copy Line");
        stayed = box->isVisible();
        press("Use &This");
    });
    EXPECT_EQ(ShowMessage({TMsgKind::Information, "Information", "Add this line:", 320, "Use &This", "exec swayidle -w timeout 300 '/a b.SCR'"}),
              TMsgResult::Action);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "exec swayidle -w timeout 300 '/a b.SCR'");
}

TEST(Messages, RunCommandReportsWhatEndsACommand)
{
    MessageRecorder rec;
    EXPECT_FALSE(RunCommand([] { throw EInOutError(101); }));
    EXPECT_TRUE(RunCommand([] {}));
    ASSERT_EQ(rec.Messages.size(), 1);
    EXPECT_EQ(rec.Messages[0].Text, QString("Disk full."));
}

TEST(Help, F1OpensTheTopicOfTheNearestControl)
{
    HelpRecorder help;
    InstallHelpKey();
    QWidget window;
    SetHelpContext(&window, 100);
    auto* inner = new QWidget(&window);
    auto* button = new QPushButton("x", inner);
    auto* own = new QPushButton("y", &window);
    SetHelpContext(own, 70);
    window.show();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    button->setFocus();
    QApplication::sendEvent(button, &f1);
    own->setFocus();
    QApplication::sendEvent(own, &f1);
    EXPECT_EQ(help.Contexts, (QVector<int>{100, 70}));
}

TEST(Help, AWindowWithoutATopicDoesNotBorrowTheOneBeneathIt)
{
    QWidget dialog;
    SetHelpContext(&dialog, 70);
    QWidget box(&dialog, Qt::Dialog);   // a message box over the dialog
    auto* ok = new QPushButton("OK", &box);
    EXPECT_EQ(HelpContextOf(ok), 0);
    auto* inside = new QPushButton("x", &dialog);
    EXPECT_EQ(HelpContextOf(inside), 70);
}

TEST(Help, TheBuiltHelpFileHasEveryTopicTheProgramOpens)
{
    const QMap<int, THelpTopic> topics = ParseHelpFile(ReadAll(QStringLiteral(GLIMMER_BIN_DIR "/GLIMMER.HLP")));
    for (int ctx : {1, 70, 100, 110, 120, 200, 250, 300, 310, 320}) {
        ASSERT_TRUE(topics.contains(ctx)) << ctx;
        EXPECT_FALSE(topics[ctx].Title.isEmpty()) << ctx;
        EXPECT_GT(topics[ctx].Body.trimmed().size(), 80) << ctx;
    }
}

TEST(Help, AMissingHelpFileIsReportedNotFatal)
{
    MessageRecorder rec;
    const QString saved = HelpFile();
    SetHelpFile("/nonexistent/GLIMMER.HLP");
    ShowHelpContext(1);
    SetHelpFile(saved);
    ASSERT_EQ(rec.Messages.size(), 1);
    EXPECT_TRUE(rec.Messages[0].Text.contains("GLIMMER.HLP"));
}

TEST(Hints, TheNearestEnclosingHintIsShown)
{
    QWidget panel;
    SetHint(&panel, " Press F1 for Help");
    auto* group = new QWidget(&panel);
    auto* plain = new QPushButton(group);
    auto* blank = new QPushButton(group);
    SetHint(blank, " ");
    QStringList shown;
    SetHintHandler([&](const QString& h) { shown << h; });
    UpdateHintFor(plain);
    UpdateHintFor(blank);
    UpdateHintFor(nullptr);
    SetHintHandler(nullptr);
    EXPECT_EQ(shown, (QStringList{" Press F1 for Help", " ", ""}));
}

TEST(FileControls, MasksSplitBySemicolonIgnoringCase)
{
    EXPECT_TRUE(TFileListBox::MatchesMask("photo.jpg", "*.BMP;*.JPG"));
    EXPECT_TRUE(TFileListBox::MatchesMask("A.BMP", "*.bmp;*.jpg"));
    EXPECT_FALSE(TFileListBox::MatchesMask("A.JPEG", "*.BMP;*.JPG"));
    EXPECT_FALSE(TFileListBox::MatchesMask("A.BMP.TXT", "*.BMP"));
    EXPECT_TRUE(TFileListBox::MatchesMask("SUNSET.SSJ", "*.SSJ"));
    EXPECT_TRUE(TFileListBox::MatchesMask("README", "*.*"));
}

TEST(FileControls, FileListShowsOrdinaryFilesSortedAndFeedsItsNameBox)
{
    TempFolder t;
    for (const char* n : {"b.jpg", "A.BMP", "c.txt", ".hidden.jpg"})
        WriteAll(t.File(n), "x");
    CreateDir(t.File("folder.jpg"));
    TFileListBox list;
    QLineEdit edit;
    list.SetFileEdit(&edit);
    list.SetDirectory(t.Path());
    list.SetMask("*.BMP;*.JPG");
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.item(0)->text(), QString("A.BMP"));
    EXPECT_EQ(list.item(1)->text(), QString("b.jpg"));
    EXPECT_EQ(edit.text(), QString("*.BMP;*.JPG"));
    list.SelectName("b.jpg");
    EXPECT_EQ(edit.text(), QString("b.jpg"));
    EXPECT_EQ(list.FileName(), t.File("b.jpg"));
    list.Update();
    EXPECT_EQ(edit.text(), QString("*.BMP;*.JPG"));
}

TEST(FileControls, FolderListOpensFoldersAndMakesThemCurrent)
{
    TempFolder t;
    CreateDir(t.File("Beta"));
    CreateDir(t.File("alpha"));
    TDirectoryListBox dirs;
    int changes = 0;
    QObject::connect(&dirs, &TDirectoryListBox::Change, [&] { ++changes; });
    ASSERT_TRUE(dirs.SetDirectory(t.Path()));
    // The path from the root down, then the subfolders in name order.
    const int n = dirs.count();
    EXPECT_EQ(dirs.item(0)->data(Qt::UserRole).toString(), QString("/"));
    EXPECT_EQ(dirs.item(n - 2)->data(Qt::UserRole).toString(), t.File("alpha"));
    EXPECT_EQ(dirs.item(n - 1)->data(Qt::UserRole).toString(), t.File("Beta"));
    dirs.OpenItem(dirs.item(n - 1));
    EXPECT_EQ(GetCurrentDir(), t.File("Beta/"));
    EXPECT_EQ(dirs.Directory(), t.File("Beta"));
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(dirs.SetDirectory(t.File("nowhere")));
    EXPECT_EQ(dirs.Directory(), t.File("Beta"));
}

TEST(FileControls, UpperEditTurnsTextIntoCapitals)
{
    TUpperEdit e;
    e.setText("sunset.ssj");
    EXPECT_EQ(e.text(), QString("SUNSET.SSJ"));
    e.clear();
    e.insert("my saver");
    EXPECT_EQ(e.text(), QString("MY SAVER"));
}

TEST(FileControls, CapitalsStillFindTheirFileIgnoringLetterCase)
{
    // One capital for each character, so that the name still matches its
    // file: "ß" has no capital of its own and stays, rather than becoming
    // "SS", which would name no file.
    TUpperEdit e;
    for (const char* name : {"straße.jpg", "фото.jpg", "ÿes µ.bmp", "été.jpg"}) {
        const QString n = QString::fromUtf8(name);
        e.setText(n);
        EXPECT_EQ(e.text().size(), n.size()) << name;
        EXPECT_EQ(e.text().compare(n, Qt::CaseInsensitive), 0) << name;
    }
    EXPECT_EQ(UpperCaseName(QString::fromUtf8("straße фото.jpg")), QString::fromUtf8("STRAßE ФОТО.JPG"));
}

TEST(FileControls, DriveOfAPathIsItsLongestMountedRoot)
{
    const QStringList drives{"/", "/home/u/", "/media/usb/"};
    EXPECT_EQ(TDriveComboBox::DriveOf("/media/usb/photos", drives), QString("/media/usb/"));
    EXPECT_EQ(TDriveComboBox::DriveOf("/etc", drives), QString("/"));
    EXPECT_EQ(TDriveComboBox::DriveOf("/home/u", drives), QString("/home/u/"));
}
