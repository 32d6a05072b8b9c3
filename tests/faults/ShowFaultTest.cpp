// A picture deleted while the show runs: the show names it and ends, the
// pointer comes back, the main window's menu returns, and the next show runs.
#include "FaultSupport.h"
#include "TestSupport.h"
#include "app/MainWindow.h"
#include "project/Project.h"
#include "show/ShowWindow.h"
#include "toolkit/Cursor.h"
#include "toolkit/Files.h"

#include <QFile>
#include <QFrame>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ShowFault : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        Project() = ProjectState{};
        ResetMouseCursorCount();
        WriteAll(t.File("A.BMP"), BitmapFile(40, 30));
        WriteAll(t.File("B.BMP"), BitmapFile(30, 40));
        WriteAll(t.File("C.BMP"), BitmapFile(20, 20));
        WriteAll(t.File("SUNSET.SSJ"), ProjectRecord({"A.BMP", "B.BMP", "C.BMP"}, GetParam()));
    }
    void TearDown() override { Project() = ProjectState{}; }
    TempFolder t;
};

TEST_P(ShowFault, APictureDeletedDuringTheShowIsNamedAndTheShowEnds)
{
    TSSMenuForm m;
    MessageRecorder rec;
    OpenProjectThroughDialog(m, t.Path(), "SUNSET");
    ASSERT_EQ(Project().Settings.ImageCount, 3);
    const QByteArray c = ReadAll(t.File("C.BMP"));
    bool ended = false;
    OnNextModal([&](QWidget* w) {
        auto* show = qobject_cast<TSMViewForm*>(w);
        ASSERT_NE(show, nullptr);
        ASSERT_EQ(show->Engine().ImageIndex(), 1);
        // The first picture is decoded off the window's thread.
        for (int i = 0; i < 500 && !show->Engine().frame().visible; ++i)
            QTest::qWait(10);
        QFile::remove(t.File("B.BMP"));
        // Time passes until the show wants its second picture.
        for (int tick = 0; tick < 200 && !show->ShowEnded(); ++tick) {
            show->Timer2Timer();
            show->Timer1Timer();
            QCoreApplication::processEvents();
        }
        ended = show->ShowEnded();
    });
    m.ViewBtnClick();
    EXPECT_TRUE(ended);
    EXPECT_EQ(rec.Texts(), QStringList{"The graphic B.BMP was not found."});
    EXPECT_EQ(rec.Messages[0].Kind, TMsgKind::Error);
    EXPECT_GE(MouseCursorCount(), 0);
    EXPECT_TRUE(m.menuPnl->isVisibleTo(&m));
    // The project is as it was on disk; the other pictures are untouched.
    EXPECT_EQ(ReadAll(t.File("SUNSET.SSJ")), ProjectRecord({"A.BMP", "B.BMP", "C.BMP"}, GetParam()));
    EXPECT_EQ(ReadAll(t.File("C.BMP")), c);

    // The program goes on: with the picture back, the show runs again.
    WriteAll(t.File("B.BMP"), BitmapFile(30, 40));
    rec.Clear();
    bool shown = false;
    OnNextModal([&](QWidget* w) {
        shown = qobject_cast<TSMViewForm*>(w) != nullptr;
        w->close();
    });
    m.ViewBtnClick();
    EXPECT_TRUE(shown);
    EXPECT_TRUE(rec.Messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Faults, ShowFault, ::testing::Values(0, 1),
                         [](const auto& info) { return std::string(info.param ? "Float" : "Random"); });

} // namespace
