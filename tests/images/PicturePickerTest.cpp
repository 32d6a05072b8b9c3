#include "TestSupport.h"
#include "images/PicturePicker.h"
#include "project/Project.h"
#include "toolkit/FileControls.h"
#include "toolkit/Help.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

struct PickerTest : ::testing::Test {
    TempFolder folder;
    MessageRecorder messages;

    void SetUp() override
    {
        Project() = ProjectState{};
        Project().ProjectFolder = folder.Path();
        Project().ProjectFile = "TEST.SSJ";
    }
    void TearDown() override { Project() = ProjectState{}; }
    void Touch(const QString& name) { WriteAll(folder.File(name), "picture"); }
};

QStringList Listed(const TGetGraphicForm* f)
{
    QStringList names;
    for (int i = 0; i < f->FileListBox1->count(); ++i)
        names << f->FileListBox1->item(i)->text();
    return names;
}

// A mouse click on the list entry, as a user would make it.
void ClickEntry(TFileListBox* list, const QString& name)
{
    const auto found = list->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    const QPointF p = list->visualItemRect(found.first()).center();
    QWidget* vp = list->viewport();
    QMouseEvent press(QEvent::MouseButtonPress, p, vp->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, p, vp->mapToGlobal(p), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &release);
}

void WhilePickerUp(std::function<void(TGetGraphicForm*)> f)
{
    OnNextModal([=](QWidget* w) {
        auto* picker = qobject_cast<TGetGraphicForm*>(w);
        ASSERT_NE(picker, nullptr);
        f(picker);
        // Whatever the test did, never leave the picker up.
        if (picker->isVisible())
            picker->reject();
    });
}

} // namespace

TEST_F(PickerTest, ListsTheBmpAndJpegFilesOfTheProjectFolderInAnyCase)
{
    Touch("photo.jpg");
    Touch("B.BMP");
    Touch("c.Jpg");
    Touch("notes.txt");
    Touch("wide.jpeg");
    Touch("old.JPE");
    Touch("TEST.SSJ");
    QDir(folder.Path()).mkdir("DIR.JPG");
    // A link named like a picture: OK would leave it out, so it is not offered.
    ASSERT_TRUE(QFile::link(folder.File("photo.jpg"), folder.File("link.jpg")));
    QStringList listed;
    QString mask;
    WhilePickerUp([&](TGetGraphicForm* f) {
        listed = Listed(f);
        mask = f->FileListBox1->Mask();
    });
    QString name;
    EXPECT_FALSE(PickProjectGraphic(Project(), name));
    EXPECT_EQ(listed, QStringList({"B.BMP", "c.Jpg", "old.JPE", "photo.jpg", "wide.jpeg"}));
    EXPECT_EQ(mask, QString("*.bmp;*.jpg;*.jpeg;*.jpe"));
}

TEST_F(PickerTest, AClickedEntryIsHandedBackInCapitals)
{
    Touch("photo.jpg");
    Touch("zebra.bmp");
    QString boxAfterClick;
    WhilePickerUp([&](TGetGraphicForm* f) {
        ClickEntry(f->FileListBox1, "photo.jpg");
        boxAfterClick = f->Edit1->text();
        f->BitBtn2->click();
    });
    QString name;
    EXPECT_TRUE(PickProjectGraphic(Project(), name));
    EXPECT_EQ(boxAfterClick, QString("PHOTO.JPG"));
    EXPECT_EQ(name, QString("PHOTO.JPG"));
    EXPECT_TRUE(messages.Messages.isEmpty());
}

TEST_F(PickerTest, OkWithAnEmptyBoxIsRefused)
{
    Touch("photo.jpg");
    bool stayed = false, focusInBox = false;
    QString boxAtStart = "unset";
    WhilePickerUp([&](TGetGraphicForm* f) {
        boxAtStart = f->Edit1->text();
        f->BitBtn2->click();
        stayed = f->isVisible() && QApplication::activeModalWidget() == f;
        focusInBox = f->focusWidget() == f->Edit1;
        f->BitBtn3->click();
    });
    QString name;
    EXPECT_FALSE(PickProjectGraphic(Project(), name));
    EXPECT_EQ(boxAtStart, QString());
    EXPECT_TRUE(stayed);
    EXPECT_TRUE(focusInBox);
    ASSERT_EQ(messages.Messages.size(), 1);
    EXPECT_EQ(messages.Messages[0].Kind, TMsgKind::Error);
    EXPECT_EQ(messages.Messages[0].Text, QString("No Graphic file has been selected"));
    EXPECT_EQ(name, QString());
}

TEST_F(PickerTest, CancelEscapeAndTheCloseBoxAreNeverRefused)
{
    const std::function<void(TGetGraphicForm*)> ways[3] = {
        [](TGetGraphicForm* f) { f->BitBtn3->click(); },
        [](TGetGraphicForm* f) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(f->Edit1, &esc);
        },
        [](TGetGraphicForm* f) { f->close(); },
    };
    for (int i = 0; i < 3; ++i) {
        bool closed = false;
        WhilePickerUp([&](TGetGraphicForm* f) {
            f->Edit1->clear();
            ways[i](f);
            closed = !f->isVisible();
        });
        QString name = "keep.bmp";
        EXPECT_FALSE(PickProjectGraphic(Project(), name)) << i;
        EXPECT_TRUE(closed) << i;
        EXPECT_EQ(name, QString("keep.bmp")) << i;
    }
    EXPECT_TRUE(messages.Messages.isEmpty());
}

TEST_F(PickerTest, TheGivenNameIsShownAndHandedBackInCapitals)
{
    Touch("photo.jpg");
    QString shown;
    WhilePickerUp([&](TGetGraphicForm* f) {
        shown = f->Edit1->text();
        f->BitBtn2->click();
    });
    QString name = "last.jpg";
    EXPECT_TRUE(PickProjectGraphic(Project(), name));
    EXPECT_EQ(shown, QString("LAST.JPG"));
    EXPECT_EQ(name, QString("LAST.JPG"));
}

TEST_F(PickerTest, ATypedNameWithoutAFileIsHandedBackAllTheSame)
{
    WhilePickerUp([&](TGetGraphicForm* f) {
        EXPECT_EQ(f->FileListBox1->count(), 0);   // an empty project folder
        f->Edit1->setText("nowhere.bmp");
        f->BitBtn2->click();
    });
    QString name;
    EXPECT_TRUE(PickProjectGraphic(Project(), name));
    EXPECT_EQ(name, QString("NOWHERE.BMP"));
}

TEST_F(PickerTest, ViewBringsThePickerBackStillRunning)
{
    bool visibleAfterEmptyView = false, backAfterView = false;
    ModalWatch second;
    ModalWatch first = OnNextModal([&](QWidget* w) {
        auto* f = qobject_cast<TGetGraphicForm*>(w);
        ASSERT_NE(f, nullptr);
        f->BitBtn1->click();   // empty box: nothing
        visibleAfterEmptyView = f->isVisible();
        f->Edit1->setText("MISSING.JPG");
        f->BitBtn1->click();   // the view reports the missing file itself
        // From the picker's own loop again: it must still be running.
        second = OnNextModal([&](QWidget* w) {
            auto* f = qobject_cast<TGetGraphicForm*>(w);
            ASSERT_NE(f, nullptr);
            backAfterView = f->isVisible();
            f->BitBtn2->click();
        });
    });
    QString name;
    const bool ok = PickProjectGraphic(Project(), name);
    first.Cancel();
    second.Cancel();
    EXPECT_TRUE(ok);
    EXPECT_TRUE(visibleAfterEmptyView);
    EXPECT_TRUE(backAfterView);
    EXPECT_EQ(name, QString("MISSING.JPG"));
}

TEST_F(PickerTest, LayoutFocusAndHelp)
{
    bool focusInBox = false;
    WhilePickerUp([&](TGetGraphicForm* f) { focusInBox = f->focusWidget() == f->Edit1; });
    QString name;
    PickProjectGraphic(Project(), name);
    EXPECT_TRUE(focusInBox);

    TGetGraphicForm form(Project().Settings.BackgroundColor);
    EXPECT_EQ(form.size(), QSize(253, 229));
    EXPECT_EQ(form.windowTitle(), QString("Press F1 for Help"));
    EXPECT_EQ(HelpContextOf(&form), 120);
    EXPECT_EQ(form.GroupBox1->title(), QString(" Select .BMP or .JPG Graphic  "));
    EXPECT_EQ(form.FileListBox1->size(), QSize(129, 121));
    EXPECT_EQ(form.FileListBox1->FileEdit(), form.Edit1);
    QPushButton* buttons[3] = {form.BitBtn1, form.BitBtn2, form.BitBtn3};
    const char* captions[3] = {"&View", "&OK", "&Cancel"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i]->text(), QString(captions[i]));
        EXPECT_EQ(buttons[i]->size(), QSize(73, 25));
        if (i > 0) {
            EXPECT_GT(buttons[i]->x(), buttons[i - 1]->geometry().right());
        }
    }
    EXPECT_TRUE(form.BitBtn2->isDefault());
}

TEST_F(PickerTest, EnterInTheNameBoxIsOk)
{
    WhilePickerUp([](TGetGraphicForm* f) {
        f->Edit1->setText("typed.bmp");
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(f->Edit1, &enter);
    });
    QString name;
    EXPECT_TRUE(PickProjectGraphic(Project(), name));
    EXPECT_EQ(name, QString("TYPED.BMP"));
}
