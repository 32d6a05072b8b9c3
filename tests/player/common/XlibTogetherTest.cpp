// The X11 player includes Xlib, whose macros (Status, Bool, None, True,
// Success, ...) must not break the shared headers that come after it.
// (GoogleTest's own headers do not survive them: they come first.)
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "common/CommandLine.h"
#include "common/ExecutableImage.h"
#include "common/Install.h"
#include "common/SelfFile.h"
#include "record/SaverSettings.h"
#include "common/Store.h"
#include "common/XScreenSaverConfig.h"

TEST(SharedHeaders, CompileAfterXlib)
{
    player::InstallResult r;
    player::PlayerArgs a;
    EXPECT_EQ(r.ExitCode, 0);
    EXPECT_TRUE(a.DisplayName.empty());
}
