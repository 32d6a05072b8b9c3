#include "TestSupport.h"
#include "project/ProjectDialog.h"
#include "toolkit/FileControls.h"
#include "toolkit/Files.h"
#include "toolkit/Help.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(ProjectDialog, CloseChecksComeInOrder)
{
    TempFolder t;
    MessageRecorder rec;
    TMakeDirForm form;
    form.Edit2->setText("");
    EXPECT_FALSE(form.FormCloseQuery());
    form.Edit2->setText("MY SAVER");
    EXPECT_FALSE(form.FormCloseQuery());
    for (QChar c : QString("\"*+,/:;<=>?[]|")) {
        form.Edit2->setText(QString("A") + c);
        EXPECT_FALSE(form.FormCloseQuery()) << c.toLatin1();
    }
    form.Edit2->setText("A.B\\C");   // full stop and backslash are allowed
    EXPECT_TRUE(form.FormCloseQuery());
    // Nothing but a folder part leaves no name.
    form.Edit2->setText("A\\");
    EXPECT_FALSE(form.FormCloseQuery());
    ASSERT_EQ(rec.Messages.size(), 17);
    EXPECT_EQ(rec.Messages[16].Text, QString("A filename must be entered."));
    EXPECT_EQ(rec.Messages[0].Text, QString("A filename must be entered."));
    EXPECT_EQ(rec.Messages[1].Text, QString("A correct filename must be entered."));
    EXPECT_EQ(rec.Messages[15].Text, QString("A correct filename must be entered."));
}

TEST(ProjectDialog, OkAtOnceIsRefusedWithAnEmptyName)
{
    TempFolder t;
    MessageRecorder rec;
    QString folder, name;
    bool refusedThenCancelled = false;
    OnNextModal([&](QWidget* w) {
        auto* form = qobject_cast<TMakeDirForm*>(w);
        ASSERT_NE(form, nullptr);
        EXPECT_EQ(form->Edit2->text(), QString());
        EXPECT_EQ(form->FileLbl->text(), QString("Enter ScreenSaver Name"));
        EXPECT_EQ(HelpContextOf(form), 70);
        form->BitBtn1->click();
        refusedThenCancelled = form->isVisible();
        form->BitBtn2->click();
    });
    EXPECT_FALSE(ChooseProject("*.SSJ", 70, "Enter ScreenSaver Name", folder, name));
    EXPECT_TRUE(refusedThenCancelled);
    EXPECT_EQ(rec.Texts(), QStringList{"A filename must be entered."});
}

TEST(ProjectDialog, TypedNameInCapitalsAndTheOpenFolder)
{
    TempFolder t;
    MessageRecorder rec;
    QString folder, name;
    OnNextModal([&](QWidget* w) {
        auto* form = static_cast<TMakeDirForm*>(w);
        QTest::keyClicks(form->Edit2, "sunset");
        form->BitBtn1->click();
    });
    ASSERT_TRUE(ChooseProject("*.SSJ", 70, "Enter ScreenSaver Name", folder, name));
    EXPECT_EQ(name, QString("SUNSET"));
    EXPECT_EQ(folder, t.Path());
    EXPECT_TRUE(rec.Messages.isEmpty());
}

TEST(ProjectDialog, ListedProjectsAndATypedNewFolder)
{
    TempFolder t;
    WriteAll(t.File("SUNSET.SSJ"), QByteArray(235, '\0'));
    WriteAll(t.File("OTHER.TXT"), "x");
    QString folder, name;
    OnNextModal([&](QWidget* w) {
        auto* form = static_cast<TMakeDirForm*>(w);
        ASSERT_EQ(form->FileListBox1->count(), 1);
        form->FileListBox1->SelectName("SUNSET.SSJ");
        EXPECT_EQ(form->Edit2->text(), QString("SUNSET.SSJ"));
        form->Edit1->setText(t.Path() + "NEW");
        form->BitBtn1->click();
    });
    ASSERT_TRUE(ChooseProject("*.SSJ", 70, "Enter ScreenSaver Name", folder, name));
    EXPECT_EQ(folder, t.Path() + "NEW/");
    EXPECT_EQ(name, QString("SUNSET.SSJ"));
}

TEST(ProjectDialog, OpeningAnotherFolderPutsTheMaskInTheNameBox)
{
    TempFolder t;
    CreateDir(t.File("SUB"));
    MessageRecorder rec;
    TMakeDirForm form;
    form.FileListBox1->SetMask("*.SSJ");
    form.Edit2->setText("");
    form.DirectoryListBox1->SetDirectory(t.File("SUB"));
    EXPECT_EQ(form.Edit2->text(), QString("*.SSJ"));
    EXPECT_EQ(form.Edit1->text(), t.File("SUB"));
    EXPECT_EQ(GetCurrentDir(), t.File("SUB/"));
    EXPECT_FALSE(form.FormCloseQuery());
    EXPECT_EQ(rec.Texts(), QStringList{"A correct filename must be entered."});
}

TEST(ProjectDialog, CancelReturnsFalseWithoutAMessage)
{
    TempFolder t;
    MessageRecorder rec;
    QString folder = "unchanged", name = "unchanged";
    OnNextModal([&](QWidget* w) {
        auto* form = static_cast<TMakeDirForm*>(w);
        form->Edit2->setText("BAD NAME");
        QTest::keyClick(form, Qt::Key_Escape);
    });
    EXPECT_FALSE(ChooseProject("*.SSJ", 70, "Enter ScreenSaver Name", folder, name));
    EXPECT_EQ(folder, QString("unchanged"));
    EXPECT_TRUE(rec.Messages.isEmpty());
}

TEST(ProjectDialog, EnterOnTheFocusedCancelCancels)
{
    TempFolder t;
    MessageRecorder rec;
    QString folder, name;
    OnNextModal([&](QWidget* w) {
        auto* form = static_cast<TMakeDirForm*>(w);
        form->Edit2->setText("SUNSET");
        form->BitBtn2->setFocus();
        QTest::keyClick(form->BitBtn2, Qt::Key_Return);
    });
    EXPECT_FALSE(ChooseProject("*.SSJ", 70, "Enter ScreenSaver Name", folder, name));
    EXPECT_TRUE(rec.Messages.isEmpty());
}
