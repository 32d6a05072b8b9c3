// The X11 player includes Xlib, whose macros (Status, Bool, None, True,
// Success, ...) must not break the shared headers that come after it.
// (GoogleTest's own headers do not survive them: they come first.)
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "common/CommandLine.h"
#include "common/ExecutableImage.h"
#include "install/Install.h"
#include "common/SelfFile.h"
#include "record/SaverSettings.h"
#include "common/Store.h"
#include "install/XScreenSaverConfig.h"

TEST(SharedHeaders, CompileAndWorkAfterXlib)
{
    // A declaration that Xlib's macros bent rather than broke would answer
    // wrongly here: the X11 player reads its options after Xlib.
    const player::PlayerArgs a = player::parseCommandLine({"--root", "-display", ":3"});
    EXPECT_EQ(a.mode, player::RunMode::Root);
    EXPECT_EQ(a.displayName, ":3");
    EXPECT_EQ(install::entryName("/savers/SUNSET.SCR"), "Sunset (Glimmer)");
}
