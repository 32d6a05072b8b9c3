// --install and --uninstall on real files in a temporary home.
#include "install/Install.h"
#include "install/XScreenSaverConfig.h"
#include "../support/FailingCalls.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace player;
namespace fs = std::filesystem;

namespace {
class TempHome {
public:
    TempHome()
    {
        std::string t = (fs::temp_directory_path() / "glimmer-home-XXXXXX").string();
        path_ = ::mkdtemp(t.data());
    }
    ~TempHome()
    {
        std::error_code ec;
        fs::permissions(path_, fs::perms::owner_all, ec);
        fs::remove_all(path_, ec);
    }
    std::string Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
private:
    std::string path_;
};

std::string readAll(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void write(const std::string& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary) << text;
}

const std::string appDefaults = "*timeout: 0:10:00\n"
                                "*programs:\t\t\t\t\t\t\t\t      \\\n"
                                "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
                                "- GL: \t\t\t\tsquirtorus --root\t\t\t    \\n\n";

InstallRequest request(const TempHome& home, const std::string& program)
{
    InstallRequest r;
    r.programPath = program;
    r.home = home.Path();
    r.defaults = {home.File("no-such-defaults"), home.File("XScreenSaver")};
    write(home.File("XScreenSaver"), appDefaults);
    return r;
}

// Permission checks that apply to root too, in this thread while it lives.
struct PermissionsChecked {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved[2]{}, fewer[2]{};
    PermissionsChecked()
    {
        ::syscall(SYS_capget, &header, saved);
        fewer[0] = saved[0], fewer[1] = saved[1];
        fewer[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_FOWNER));
        ::syscall(SYS_capset, &header, fewer);
    }
    ~PermissionsChecked() { ::syscall(SYS_capset, &header, saved); }
};

std::size_t count(const std::string& text, const std::string& what)
{
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}
} // namespace

TEST(XScreenSaverInstall, WithoutSettingsTheFileIsMadeFromTheDaemonsDefaults)
{
    TempHome home;
    const InstallRequest r = request(home, "/opt/savers/SUNSET.SCR");
    const InstallResult done = installInXScreenSaver(r);
    EXPECT_EQ(done.exitCode, 0) << done.message;
    EXPECT_NE(done.message.find("Added \"Sunset (Glimmer)\""), std::string::npos) << done.message;
    EXPECT_NE(done.message.find("xscreensaver-command -select 3"), std::string::npos) << done.message;
    const std::string text = readAll(home.File(".xscreensaver"));
    const auto list = findPrograms(text);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->entries.size(), 3u);
    EXPECT_EQ(list->entries[0].command, "maze --root");
    EXPECT_EQ(list->entries[2].command, "/opt/savers/SUNSET.SCR --root");
    EXPECT_EQ(text.find('~'), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(home.File(".xscreensaver").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    EXPECT_FALSE(fs::exists(home.File(".xscreensaver.glimmer-backup"))) << "nothing was there to keep";
}

TEST(XScreenSaverInstall, InstallIsIdempotentKeepsABackupAndUninstallRestores)
{
    TempHome home;
    const std::string before = "mode: one\nselected: 0\nprograms: \\\n  maze --root \\n\\\n\n";
    write(home.File(".xscreensaver"), before);
    ::chmod(home.File(".xscreensaver").c_str(), 0600);
    const InstallRequest r = request(home, "/opt/My Savers/SUNSET.SCR");
    ASSERT_EQ(installInXScreenSaver(r).exitCode, 0);
    const std::string once = readAll(home.File(".xscreensaver"));
    EXPECT_EQ(readAll(home.File(".xscreensaver.glimmer-backup")), before);
    EXPECT_EQ(once.substr(0, before.size() - 1), before.substr(0, before.size() - 1));
    EXPECT_NE(once.find("'/opt/My Savers/SUNSET.SCR' --root"), std::string::npos);
    struct stat st {};
    ::stat(home.File(".xscreensaver").c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the file keeps its permissions";

    const InstallResult again = installInXScreenSaver(r);
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_NE(again.message.find("already"), std::string::npos);
    EXPECT_EQ(readAll(home.File(".xscreensaver")), once);
    EXPECT_EQ(count(readAll(home.File(".xscreensaver")), "SUNSET.SCR"), 1u);

    const InstallResult removed = uninstallFromXScreenSaver(r);
    EXPECT_EQ(removed.exitCode, 0) << removed.message;
    EXPECT_EQ(readAll(home.File(".xscreensaver")), before);
    EXPECT_EQ(readAll(home.File(".xscreensaver.glimmer-backup")), once);
    EXPECT_NE(uninstallFromXScreenSaver(r).message.find("is not in"), std::string::npos);
    // No temporary file is left beside it (the lock, without $XDG_RUNTIME_DIR, stays for the next change).
    for (const auto& e : fs::directory_iterator(home.Path()))
        EXPECT_EQ(e.path().filename().string().find(".glimmer-") == std::string::npos ||
                      e.path().filename() == ".xscreensaver.glimmer-backup" || e.path().filename() == ".xscreensaver.glimmer-lock",
                  true)
            << e.path();
}

TEST(XScreenSaverInstall, SettingsWithoutAListGetTheDefaultsListAndOurs)
{
    TempHome home;
    write(home.File(".xscreensaver"), "timeout: 0:05:00\nlock: False");
    ASSERT_EQ(installInXScreenSaver(request(home, "/s/A.SCR")).exitCode, 0);
    const std::string text = readAll(home.File(".xscreensaver"));
    EXPECT_EQ(text.rfind("timeout: 0:05:00\nlock: False\n", 0), 0u);
    const auto list = findPrograms(text);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->entries.size(), 3u);
    EXPECT_EQ(list->entries[2].name, "A (Glimmer)");
}

TEST(XScreenSaverInstall, TheSameFileByAnotherPathIsTheSameEntry)
{
    TempHome home;
    write(home.File("SUNSET.SCR"), "x");
    fs::create_symlink(home.File("SUNSET.SCR"), home.File("link.SCR"));
    write(home.File(".xscreensaver"), "programs: \\\n  \"Old\" " + home.File("link.SCR") + " --root \\n\\\n\n");
    const InstallRequest r = request(home, home.File("SUNSET.SCR"));
    EXPECT_NE(installInXScreenSaver(r).message.find("already"), std::string::npos);
    EXPECT_EQ(uninstallFromXScreenSaver(r).exitCode, 0);
    EXPECT_EQ(findPrograms(readAll(home.File(".xscreensaver")))->entries.size(), 0u);
}

TEST(XScreenSaverInstall, ALinkedSettingsFileIsChangedWhereItIs)
{
    TempHome home;
    fs::create_directory(home.File("dotfiles"));
    write(home.File("dotfiles/xscreensaver"), "programs: \\\n  maze --root \\n\\\n\n");
    fs::create_symlink(home.File("dotfiles/xscreensaver"), home.File(".xscreensaver"));
    ASSERT_EQ(installInXScreenSaver(request(home, "/s/A.SCR")).exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(home.File(".xscreensaver"))) << "the link stays a link";
    EXPECT_NE(readAll(home.File("dotfiles/xscreensaver")).find("/s/A.SCR --root"), std::string::npos);
}

TEST(XScreenSaverInstall, FailuresSayWhatToDo)
{
    TempHome home;
    InstallRequest r = request(home, "/s/A.SCR");
    r.defaults = {home.File("none")};
    InstallResult noDefaults = installInXScreenSaver(r);
    EXPECT_EQ(noDefaults.exitCode, 1);
    EXPECT_NE(noDefaults.message.find("Run xscreensaver-settings once (it writes " + home.File(".xscreensaver") + "), then run '/s/A.SCR' --install again."),
              std::string::npos)
        << noDefaults.message;
    EXPECT_FALSE(fs::exists(home.File(".xscreensaver")));

    fs::create_directory(home.File(".xscreensaver"));
    InstallResult folder = installInXScreenSaver(request(home, "/s/A.SCR"));
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.message.find("is not an ordinary file"), std::string::npos) << folder.message;
    fs::remove(home.File(".xscreensaver"));

    if (::geteuid() != 0) {
        // A home the user cannot write to: the line to add by hand is given.
        write(home.File(".xscreensaver"), "programs: \\\n  maze --root \\n\\\n\n");
        fs::permissions(home.Path(), fs::perms::owner_read | fs::perms::owner_exec);
        InstallResult readOnly = installInXScreenSaver(request(home, "/s/A.SCR"));
        fs::permissions(home.Path(), fs::perms::owner_all);
        EXPECT_EQ(readOnly.exitCode, 1);
        EXPECT_NE(readOnly.message.find("\"A (Glimmer)\"  /s/A.SCR --root \\n\\"), std::string::npos) << readOnly.message;
    }

    r.programPath = "/s/line\nbreak.SCR";
    EXPECT_EQ(installInXScreenSaver(r).exitCode, 1);
    r.programPath = "relative/A.SCR";
    EXPECT_EQ(installInXScreenSaver(r).exitCode, 1);
    r.home = "";
    r.programPath = "/s/A.SCR";
    EXPECT_EQ(installInXScreenSaver(r).exitCode, 1);
}

TEST(XScreenSaverInstall, TenInstallsAtOnceAllGoWhereTheDaemonReadsThem)
{
    TempHome home, run;
    // They take turns by a lock of their own, not the home folder, which a compile of a project kept there holds.
    ::chmod(run.Path().c_str(), 0700);
    ::setenv("XDG_RUNTIME_DIR", run.Path().c_str(), 1);
    const int compile = ::open(home.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(::flock(compile, LOCK_EX), 0);
    // A list the daemon never reads: more than "programs" stands before its colon.
    write(home.File(".xscreensaver"), "programs : \\\n  maze --root \\n\\\n\n");
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    std::vector<pid_t> runs;
    for (int i = 0; i < 10; ++i) {
        const InstallRequest r = request(home, "/s/S" + std::to_string(i) + ".SCR");
        if (runs.emplace_back(::fork()) == 0) {
            ::close(go[1]);
            (void)::read(go[0], &i, 1);   // all start together
            ::_exit(installInXScreenSaver(r).exitCode);
        }
    }
    ::close(go[1]);
    int status = -1;
    for (const pid_t pid : runs)
        EXPECT_TRUE(::waitpid(pid, &status, 0) == pid && status == 0);
    ::close(compile);
    // The list the daemon runs, after the last line keyed "programs": the defaults' two and our ten.
    const std::string text = readAll(home.File(".xscreensaver"));
    EXPECT_EQ(findPrograms(text.substr(std::min(text.size(), text.rfind("\nprograms:")))).value_or(ProgramsResource{}).entries.size(), 12u);
    EXPECT_TRUE(fs::exists(run.File("glimmer-xscreensaver.lock")));
}

TEST(XScreenSaverInstall, ReadOnlyHardLinkedOrLinkedSettingsAreTreatedAsTheProjectFileIs)
{
    const std::string before = "programs: \\\n  maze --root \\n\\\n\n";
    for (const std::string kind : {"read-only", "hard-linked", "hard-linked on a disk that fills", "a link to a file of another user"}) {
        TempHome home;
        const std::string file = home.File(".xscreensaver"), other = home.File("other");
        write(kind == "read-only" ? file : other, before);
        if (kind == "read-only")
            ::chmod(file.c_str(), 0444);
        else if (kind.starts_with("hard-linked"))
            ASSERT_EQ(::link(other.c_str(), file.c_str()), 0);
        else if (::chown(other.c_str(), 4242, 4242) != 0 || ::symlink(other.c_str(), file.c_str()) != 0)
            GTEST_SKIP() << "only root can give a file away";
        const PermissionsChecked checked;
        // The backup is written whole, the settings only in part, and cannot be put back.
        Failing.PwriteBytes = kind.ends_with("fills") ? long(before.size()) + 10 : -1;
        const InstallResult done = installInXScreenSaver(request(home, "/s/A.SCR"));
        Failing = {};
        const bool added = kind == "hard-linked";
        EXPECT_EQ(done.exitCode, added ? 0 : 1) << kind;
        EXPECT_TRUE(done.message.find(file) != std::string::npos && done.message.find(other) == std::string::npos) << done.message;
        EXPECT_EQ(done.message.find("may be damaged, the old file is kept as " + file + ".glimmer-") != std::string::npos, kind.ends_with("fills"));
        EXPECT_EQ(readAll(other).find("/s/A.SCR --root") != std::string::npos, added) << kind;
        EXPECT_EQ(readAll(file) == before, !added) << kind;
    }
}

TEST(XScreenSaverInstall, EntryNamesAreTitlesOfTheFileName)
{
    EXPECT_EQ(entryName("/a/SUNSET.SCR"), "Sunset (Glimmer)");
    EXPECT_EQ(entryName("/a/MY PICS 2.SCR"), "My Pics 2 (Glimmer)");
    EXPECT_EQ(entryName("/a/Holiday.scr"), "Holiday (Glimmer)");
    EXPECT_EQ(entryName("/a/noextension"), "noextension (Glimmer)");
}

TEST(XScreenSaverInstall, TheInstalledDefaultsOfThisMachineServeIfPresent)
{
    const InstallRequest standard;
    std::string defaults;
    for (const std::string& d : standard.defaults)
        if (fs::exists(d)) {
            defaults = d;
            break;
        }
    if (defaults.empty())
        GTEST_SKIP() << "XScreenSaver's app-defaults are not installed here";
    const auto made = preferencesFromDefaults(readAll(defaults), defaults);
    ASSERT_TRUE(made);
    const auto list = findPrograms(*made);
    ASSERT_TRUE(list);
    EXPECT_GT(list->entries.size(), 100u);
}
