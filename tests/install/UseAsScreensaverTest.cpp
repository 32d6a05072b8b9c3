// What "Use as My Screensaver" does on each kind of desktop, in a temporary
// home, with the hosts that the PATH offers (none run for these sessions).
#include "install/UseAsScreensaver.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace player;
namespace fs = std::filesystem;

TEST(UseAsScreensaver, EachDesktopGetsWhatItCanTake)
{
    std::string t = (fs::temp_directory_path() / "glimmer-use-XXXXXX").string();
    const fs::path top = ::mkdtemp(t.data()), bin = top / "bin";
    fs::create_directories(bin);
    std::ofstream(bin / "xscreensaver") << "#!/bin/sh\n";
    fs::permissions(bin / "xscreensaver", fs::perms::owner_all);
    std::ofstream(top / "XScreenSaver") << "*timeout: 0:05:00\n*programs: maze --root \\n\n";
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    const struct { const char* desktop; bool wayland, sway, withXScreenSaver; UseOutcome::Kind kind; const char* says; } rows[] = {
        {"ubuntu:GNOME", true, false, true, UseOutcome::NotPossible, "GNOME runs no screensaver programs"},
        {"sway", true, true, true, UseOutcome::LineToAdd, "exec swayidle -w timeout 300 '" },
        {"", false, false, false, UseOutcome::NotPossible, "install XScreenSaver (sudo apt install xscreensaver)"},
        {"", false, false, true, UseOutcome::Unfinished, "Start it with: xscreensaver --no-splash &"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.desktop);
        fs::remove(top / ".xscreensaver");
        ::setenv("PATH", row.withXScreenSaver ? bin.c_str() : "/nonexistent", 1);
        UseRequest r;
        r.install.programPath = (top / "My savers/SUNSET.SCR").string();
        r.install.home = top.string();
        r.install.defaults = {(top / "XScreenSaver").string()};
        r.again = "press it again";
        r.session.desktop = row.desktop, r.session.wayland = row.wayland, r.session.sway = row.sway;
        const UseOutcome out = useAsScreensaver(r);
        EXPECT_EQ(out.kind, row.kind) << out.text;
        EXPECT_NE((out.text + out.line).find(row.says), std::string::npos) << out.text;
        // Changed only where a host takes it: XScreenSaver's file, chosen.
        EXPECT_EQ(fs::exists(top / ".xscreensaver"), row.kind == UseOutcome::Unfinished);
    }
    ::setenv("PATH", path.c_str(), 1);
    fs::remove_all(top);
}
