// What "Use as My Screensaver" does on each kind of desktop, in a temporary
// home, with the hosts that the PATH offers (none run for these sessions).
#include "install/UseAsScreensaver.h"
#include "install/XScreenSaverConfig.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace install;
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

// --uninstall leaves no host set to show what is gone: the only one shown
// gives way to the defaults, a choice by place follows its entry.
TEST(UseAsScreensaver, TakenOutAgainTheHostsShowWhatTheyShowWithoutIt)
{
    const auto mate = [](const std::string& command, const std::string& args) {
        std::string out(200, '\0');
        FILE* p = ::popen(("gsettings " + command + " org.mate.screensaver " + args + " 2>/dev/null").c_str(), "r");
        out.resize(std::fread(out.data(), 1, out.size(), p)), ::pclose(p);
        return out.substr(0, out.find('\n'));
    };
    if (mate("get", "mode").empty())
        GTEST_SKIP() << "MATE's screensaver settings are not installed here";
    std::string t = (fs::temp_directory_path() / "glimmer-undo-XXXXXX").string();
    const fs::path top = ::mkdtemp(t.data()), themes = top / ".local/share/applications/screensavers";
    fs::create_directories(themes);
    for (const char* host : {"xscreensaver", "mate-screensaver"})
        std::ofstream(top / host) << "#!/bin/sh\n", fs::permissions(top / host, fs::perms::owner_all);
    std::ofstream(top / "XScreenSaver") << "*mode: random\n";
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", (top.string() + ":" + path).c_str(), 1), ::setenv("GSETTINGS_BACKEND", "keyfile", 1), ::setenv("XDG_CONFIG_HOME", top.c_str(), 1), ::unsetenv("XDG_DATA_HOME");
    InstallRequest r{(top / "SUNSET.SCR").string(), top.string(), {(top / "XScreenSaver").string()}};
    const struct { const char *chosen, *mode, *selected, *mateBefore, *mateAfter, *mateMode, *says; } rows[] = {
        {"mode: one\nselected: 1", "random", "-1", "['screensavers-glimmer-sunset']", "@as []", "'blank-only'", "mode is back to \"random\""},
        {"mode: One\nselected: 2", "One", "1", "['screensavers-other', 'screensavers-glimmer-sunset']", "['screensavers-other']", "'single'", "which keep ['screensavers-other']"},
        {"mode: random\nselected: 0", "random", "0", "['screensavers-other']", "['screensavers-other']", "'single'", "from XScreenSaver's list"},
    };
    for (const auto& row : rows) {
        std::ofstream(top / ".xscreensaver") << row.chosen << "\nprograms: \\\n  maze --root \\n\\\n  " << r.programPath << " --root \\n\\\n  \"Old\" /s/OLD.SCR \\n\n";
        std::ofstream(themes / "glimmer-sunset.desktop") << "[Desktop Entry]\nX-Glimmer-Screensaver=" << r.programPath << "\n";
        mate("set", "mode single"), mate("set", std::string("themes \"") + row.mateBefore + "\"");
        const InstallResult out = uninstallScreensaver(r);
        std::ifstream in(top / ".xscreensaver");
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_TRUE(out.exitCode == 0 && out.message.find(row.says) != std::string::npos) << out.message;
        EXPECT_EQ(resourceValue(text, "mode").value_or("") + " " + resourceValue(text, "selected").value_or(""), row.mode + std::string(" ") + row.selected);
        EXPECT_EQ(mate("get", "themes") + " " + mate("get", "mode"), row.mateAfter + std::string(" ") + row.mateMode) << row.chosen;
    }
    ::setenv("PATH", path.c_str(), 1), ::unsetenv("GSETTINGS_BACKEND"), ::unsetenv("XDG_CONFIG_HOME");
    fs::remove_all(top);
}
