// The theme that --install writes, loaded and run by GLib (gio launch) as
// mate-screensaver's menus load it: each runs its own .SCR, whatever its name
// holds, through Glimmer's launcher or through the link root makes as told.
#include "install/DesktopTheme.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace install;
namespace fs = std::filesystem;

namespace {
std::string readAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The rest of the line of `text` that holds `start`.
std::string after(const std::string& text, const std::string& start)
{
    const std::size_t at = text.find(start);
    const std::size_t begin = at == std::string::npos ? text.size() : at + start.size();
    return text.substr(begin, text.find('\n', begin) - begin);
}
} // namespace

TEST(DesktopTheme, EachThemeRunsItsOwnScreensaverWhateverItsName)
{
    std::string t = (fs::temp_directory_path() / "glimmer-theme-XXXXXX").string();
    const fs::path top = ::mkdtemp(t.data()), hacks = top / "hack folder (root's)", ran = top / "ran";
    fs::create_directories(hacks);
    ThemeRequest r;
    r.hosts = {"mate-screensaver"}, r.dataHome = top / "share", r.launcher = hacks / "glimmer-scr", r.hackFolders = {hacks};
    const fs::path elsewhere = top / "local/libexec/xscreensaver/glimmer-scr";
    enum Launcher { None, There, Elsewhere };
    const struct { const char* file; Launcher launcher; } rows[] = {{"a/SUNSET.SCR", Elsewhere}, {"b/SUNSET.SCR", None}, {"a/MY \"OWN\" SAVER (IT'S).SCR", None}, {"a/MY \"OWN\" SAVER (IT'S).SCR", There}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const fs::path scr = top / row.file;
        fs::create_directories(scr.parent_path());
        // It writes down how it was run: its own file, then its arguments.
        std::ofstream(scr) << "#!/bin/sh\nprintf '%s\\n' \"$(readlink -f \"$0\")\" \"$@\" >'" << ran.string() << ".new' && mv '"
                           << ran.string() << ".new' '" << ran.string() << "'\n";
        fs::permissions(scr, fs::perms::owner_all);
        fs::remove(r.launcher);
        if (row.launcher == There)
            fs::copy_file(GLIMMER_SOURCE_DIR "/player/glimmer-scr", r.launcher);
        r.launcherElsewhere = row.launcher == Elsewhere ? elsewhere.string() : "";
        r.programPath = scr;
        const InstallResult done = installDesktopTheme(r);
        ASSERT_EQ(done.exitCode, 0) << done.message;
        if (row.launcher == Elsewhere) {
            EXPECT_NE(done.message.find("is in " + elsewhere.parent_path().string() + ", where"), std::string::npos) << done.message;
        }
        if (const std::string link = after(done.message, "sudo ln -s "); !link.empty()) {
            ASSERT_EQ(std::system(("ln -s " + link).c_str()), 0) << done.message;
        }
        const std::string id = after(done.message, "themes \"['screensavers-");
        const fs::path theme = r.dataHome + "/applications/screensavers/" + id.substr(0, id.find('\'')) + ".desktop";
        fs::remove(ran);
        // No session bus, and none started for it.
        ASSERT_EQ(std::system(("env -u DISPLAY DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent gio launch '" + theme.string() + "'").c_str()), 0)
            << readAll(theme);
        for (int i = 0; i < 100 && !fs::exists(ran); ++i)
            ::usleep(50000);
        EXPECT_EQ(readAll(ran), fs::canonical(scr).string() + "\n--root\n") << readAll(theme);
    }
    // A link of that name that leads elsewhere is told, and no theme runs it.
    fs::remove(r.launcher);
    for (const auto& e : fs::directory_iterator(hacks))
        if (fs::equivalent(e.path(), top / "a/SUNSET.SCR"))
            fs::remove(e.path()), fs::create_symlink(top / "b/SUNSET.SCR", e.path());
    r.programPath = top / "a/SUNSET.SCR";
    const InstallResult done = installDesktopTheme(r);
    EXPECT_EQ(done.exitCode, 1);
    EXPECT_NE(done.message.find("is there already, a link to " + (top / "b/SUNSET.SCR").string() + ", not to this"), std::string::npos)
        << done.message;
    fs::remove_all(top);
}
