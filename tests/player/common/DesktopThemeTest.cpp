// --install and --uninstall as MATE's screensaver theme, on real files in a
// temporary home.
#include "common/DesktopTheme.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace player;
namespace fs = std::filesystem;

namespace {
struct TempFolder {
    fs::path path;
    TempFolder()
    {
        std::string t = (fs::temp_directory_path() / "glimmer-theme-XXXXXX").string();
        path = ::mkdtemp(t.data());
    }
    ~TempFolder() { fs::remove_all(path); }
};

std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> themes(const fs::path& folder)
{
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(folder))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}
} // namespace

TEST(DesktopTheme, EachScreensaverHasOneThemeAndUninstallTakesOnlyItsOwn)
{
    TempFolder t;
    ThemeRequest r;
    r.Hosts = {"mate-screensaver"};
    r.DataHome = (t.path / "share").string();
    r.Launcher = (t.path / "glimmer-scr").string();
    std::ofstream(r.Launcher) << "#!/bin/sh\n";
    r.ProgramPath = "/home/anne/savers/SUNSET.SCR";
    const fs::path folder = t.path / "share/applications/screensavers";

    InstallResult done = installDesktopTheme(r);
    EXPECT_EQ(done.ExitCode, 0) << done.Message;
    EXPECT_NE(done.Message.find("themes \"['screensavers-glimmer-sunset']\""), std::string::npos) << done.Message;
    EXPECT_EQ(done.Message.find("sudo"), std::string::npos) << "the launcher is there: " << done.Message;
    const std::string text = readAll(folder / "glimmer-sunset.desktop");
    EXPECT_NE(text.find("\nExec=" + r.Launcher + " /home/anne/savers/SUNSET.SCR --root\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nName=Sunset (Glimmer)\n"), std::string::npos) << text;

    ASSERT_EQ(installDesktopTheme(r).ExitCode, 0);
    // Another screensaver of the same name, from another folder.
    ThemeRequest other = r;
    other.ProgramPath = "/home/anne/old/SUNSET.SCR";
    ASSERT_EQ(installDesktopTheme(other).ExitCode, 0);
    EXPECT_EQ(themes(folder), (std::vector<std::string>{"glimmer-sunset-2.desktop", "glimmer-sunset.desktop"}));

    done = uninstallDesktopTheme(r);
    EXPECT_EQ(done.ExitCode, 0) << done.Message;
    EXPECT_EQ(themes(folder), std::vector<std::string>{"glimmer-sunset-2.desktop"});
    EXPECT_NE(readAll(folder / "glimmer-sunset-2.desktop").find("/home/anne/old/SUNSET.SCR"), std::string::npos);
}

TEST(DesktopTheme, WhereOnlyMateIsThereXScreenSaversSettingsStayUntouched)
{
    // A MATE desktop without XScreenSaver: --install is the theme alone, and
    // succeeds, where it once failed for want of XScreenSaver's defaults.
    TempFolder t;
    fs::create_directories(t.path / "bin");
    const fs::path mate = t.path / "bin/mate-screensaver";
    std::ofstream(mate) << "#!/bin/sh\n";
    fs::permissions(mate, fs::perms::owner_all);
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", (t.path / "bin").c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    InstallRequest r;
    r.ProgramPath = "/opt/savers/SUNSET.SCR";
    r.Home = t.path.string();
    r.Defaults = {(t.path / "no-defaults").string()};
    const InstallResult done = changeEveryHost(r, true);
    ::setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(done.ExitCode, 0) << done.Message;
    EXPECT_TRUE(fs::exists(t.path / ".local/share/applications/screensavers/glimmer-sunset.desktop")) << done.Message;
    EXPECT_FALSE(fs::exists(t.path / ".xscreensaver"));
    EXPECT_EQ(done.Message.find("XScreenSaver"), std::string::npos) << done.Message;
}
