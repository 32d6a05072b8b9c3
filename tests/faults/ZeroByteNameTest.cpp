// A damaged length byte makes a slot name of a picture's name followed by
// zero bytes. The system would read such a name only up to the first zero and
// open that picture; to the program it names no file at all, in every command
// alike.
#include "FaultSupport.h"
#include "TestSupport.h"
#include "app/MainWindow.h"
#include "compiler/ImageStore.h"
#include "project/Project.h"
#include "show/PictureSource.h"
#include "toolkit/Files.h"

#include <QFrame>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {

TEST(ZeroByteName, NamesNoFileAndCannotBeOpened)
{
    TempFolder t;
    WriteAll(t.File("A.BMP"), BitmapFile(4, 4));
    const QString name = QString("A.BMP") + QChar(0) + QChar(0);
    EXPECT_FALSE(FileExists(name));
    EXPECT_FALSE(TFolderPictureSource().Exists(name));
    try {
        TFileStream f(name, TFileStream::fmOpenRead);
        FAIL() << "opened";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 3);
    }
    EXPECT_THROW(TFileStream(name, TFileStream::fmCreate), EInOutError);
    EXPECT_EQ(ReadAll(t.File("A.BMP")), BitmapFile(4, 4));
}

TEST(ZeroByteName, EveryCommandTreatsItAsMissing)
{
    Project() = ProjectState{};
    TempFolder t;
    WriteAll(t.File("A.BMP"), BitmapFile(40, 30));
    WriteAll(t.File("GLIMMER.BIN"), "PLAYER");
    QByteArray record = ProjectRecord({"A.BMP"});
    record[25] = 12;   // slot 1's length byte: "A.BMP" and seven zero bytes
    WriteAll(t.File("ZERO.SSJ"), record);
    TSSMenuForm m;
    MessageRecorder rec;
    OpenProjectThroughDialog(m, t.Path(), "ZERO");
    Project().ProgramFolder = t.Path();
    const QString name = slotName(Project().Settings.Slot(1));
    ASSERT_EQ(name.size(), 12);
    const QString notFound = "The graphic " + name + " was not found.";

    bool showOpened = false;
    ModalWatch show = OnNextModal([&](QWidget* w) {
        showOpened = true;
        w->close();
    });
    m.ViewBtnClick();
    show.Cancel();
    EXPECT_FALSE(showOpened);
    EXPECT_EQ(rec.Texts(), QStringList{notFound});

    rec.Clear();
    CompileToTheEnd(m);
    EXPECT_EQ(rec.Texts(), QStringList{notFound});
    EXPECT_FALSE(FileExists(t.File("ZERO.SCR")));

    // Dropped at OK, and named with its zero bytes shown as "?".
    rec.Clear();
    ConfirmSlotEditor(m);
    EXPECT_EQ(rec.Texts(), QStringList{"The picture A.BMP??????? is not in the project folder, so it is left out."});
    EXPECT_EQ(Project().Settings.ImageCount, 0);
    EXPECT_FALSE(m.ViewBtn->isEnabled());
    Project() = ProjectState{};
}

} // namespace
