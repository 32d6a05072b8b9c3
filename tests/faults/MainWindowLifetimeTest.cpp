// The main window hands the hint display to its status strip; once the window
// is gone, the pointer passing over any control must not reach for the strip
// it took with it (found when a test showed a window after a main window had
// ended; the sanitizer build reports it as a use after free).
#include "TestSupport.h"
#include "app/MainWindow.h"
#include "project/Project.h"
#include "toolkit/Hints.h"

#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(MainWindowLifetime, HintsAfterTheMainWindowIsGoneGoNowhere)
{
    Project() = ProjectState{};
    {
        TSSMenuForm m;
        QWidget inside(&m);
        SetHint(&inside, " over the menu");
        UpdateHintFor(&inside);
        EXPECT_EQ(m.StatusPnl->text(), QString(" over the menu"));
    }
    QWidget other;
    SetHint(&other, " a control of another window");
    UpdateHintFor(&other);   // must not touch the old status strip
    // A new main window takes the display over again.
    TSSMenuForm again;
    QWidget next;
    SetHint(&next, " the next control");
    UpdateHintFor(&next);
    EXPECT_EQ(again.StatusPnl->text(), QString(" the next control"));
    Project() = ProjectState{};
}

} // namespace
