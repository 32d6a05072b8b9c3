// --install and --uninstall on real files in a temporary home.
#include "install/DesktopTheme.h"
#include "install/Install.h"
#include "install/XScreenSaverConfig.h"
#include "../support/FailingCalls.h"

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace install;
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

namespace {
// `run` in a process of its own, started at once; statusOf waits for its exit status.
pid_t inChild(const std::function<int()>& run)
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(run());
    return pid;
}

int statusOf(pid_t pid)
{
    int status = -1;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The process ends, as by a kill, the moment it cuts a file.
void killedAtTheCut()
{
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_ftruncate, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{4, filter};
    ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
    ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program);
}

std::size_t themesRunning(const TempHome& home, const std::string& program)
{
    std::size_t n = 0;
    for (const auto& e : fs::directory_iterator(home.File(".local/share/applications/screensavers")))
        n += readAll(e.path()).find("X-Glimmer-Screensaver=" + program + "\n") != std::string::npos;
    return n;
}
} // namespace

// Installs into XScreenSaver and MATE while other installs, another program
// or a kill meet them: nothing another wrote is lost, the daemon can always
// read its file, and a lock that cannot be had is said.
TEST(InstallRaces, EveryChangeIsKeptWhateverMeetsIt)
{
    const std::string settingsBefore = "programs: \\\n  maze --root \\n\\\n  \"Old\" /s/OLD.SCR --root \\n\\\n\n";
    const std::string path = ::getenv("PATH") ? ::getenv("PATH") : "";
    struct Row { std::string what; std::function<void(const TempHome&, const InstallRequest&)> run; };
    const std::vector<Row> rows = {
        {"twelve installs of one name at once", [&](const TempHome& home, const InstallRequest& r) {
             std::vector<InstallRequest> each(12, r);
             std::vector<pid_t> runs;
             for (std::size_t i = 0; i < each.size(); ++i) {
                 each[i].programPath = "/s" + std::to_string(i) + "/SUNSET.SCR";
                 runs.push_back(inChild([&, i] { return changeEveryHost(each[i], true).exitCode; }));
             }
             for (const pid_t pid : runs)
                 EXPECT_EQ(statusOf(pid), 0);
             // Each took the place of the one before: one entry and one
             // theme of that name, both of the same file, the others kept.
             const std::string text = readAll(home.File(".xscreensaver"));
             EXPECT_EQ(count(text, "\"Sunset (Glimmer)\""), 1u) << text;
             EXPECT_EQ(count(text, "maze --root"), 1u) << text;
             EXPECT_EQ(count(text, "/s/OLD.SCR --root"), 1u) << text;
             const auto last = std::find_if(each.begin(), each.end(), [&](const InstallRequest& one) {
                 return count(text, one.programPath + " --root") == 1;
             });
             ASSERT_NE(last, each.end()) << text;
             EXPECT_EQ(themesRunning(home, last->programPath), 1u);
             EXPECT_EQ(std::distance(fs::directory_iterator(home.File(".local/share/applications/screensavers")), fs::directory_iterator{}), 1);
         }},
        {"an install that holds the lock", [&](const TempHome& home, const InstallRequest& r) {
             const int held = ::open((std::string(::getenv("XDG_RUNTIME_DIR")) + "/glimmer-xscreensaver.lock").c_str(),
                                     O_RDWR | O_CREAT | O_CLOEXEC, 0600);
             ASSERT_EQ(::flock(held, LOCK_EX), 0);
             const ThemeRequest theme{.hosts = {"mate-screensaver"}, .programPath = r.programPath, .dataHome = home.File(".local/share")};
             const pid_t waiting = inChild([&] { return ::close(held), installDesktopTheme(theme).exitCode; });
             ::usleep(300 * 1000);
             EXPECT_FALSE(fs::exists(home.File(".local/share/applications/screensavers"))) << "the theme waits";
             ::close(held);
             EXPECT_EQ(statusOf(waiting), 0);
             EXPECT_EQ(themesRunning(home, r.programPath), 1u);
         }},
        {"another program writing meanwhile", [&](const TempHome& home, const InstallRequest& r) {
             Failing.AtNextSync = [&] { std::ofstream(home.File(".xscreensaver"), std::ios::app) << "dpmsEnabled: True\n"; };
             EXPECT_EQ(installInXScreenSaver(r).message.rfind("Added", 0), 0u);
             const std::string text = readAll(home.File(".xscreensaver"));
             EXPECT_TRUE(count(text, "dpmsEnabled: True\n") == 1 && count(text, r.programPath + " --root") == 1) << text;
         }},
        {"a kill between the rewrite and the cut", [&](const TempHome& home, const InstallRequest& r) {
             ASSERT_EQ(installInXScreenSaver(r).exitCode, 0);
             ASSERT_EQ(::link(home.File(".xscreensaver").c_str(), home.File("twin").c_str()), 0);   // written in place
             EXPECT_EQ(statusOf(inChild([&] { return killedAtTheCut(), uninstallFromXScreenSaver(r).exitCode; })), -1);
             const std::string text = readAll(home.File(".xscreensaver"));
             const auto lines = [](const std::string& t) { return t.substr(0, t.find_last_not_of('\n') + 1); };
             EXPECT_EQ(lines(text), lines(settingsBefore)) << "the old file's end is never left after the new one";
             EXPECT_EQ(findPrograms(text).value_or(ProgramsResource{}).entries.size(), 2u);
         }},
        {"a link where the lock goes, and no runtime folder", [&](const TempHome& home, const InstallRequest& r) {
             ::unsetenv("XDG_RUNTIME_DIR");
             fs::create_symlink(home.File("elsewhere"), home.File(".xscreensaver.glimmer-lock"));
             const InstallResult done = changeEveryHost(r, true);
             EXPECT_TRUE(done.exitCode == 1 && done.message.find(home.File(".xscreensaver.glimmer-lock") + " is a link") != std::string::npos) << done.message;
             EXPECT_TRUE(readAll(home.File(".xscreensaver")) == settingsBefore && !fs::exists(home.File("elsewhere")));
         }},
        {"leftovers of killed installs", [&](const TempHome& home, const InstallRequest& r) {
             const std::string themes = home.File(".local/share/applications/screensavers/");
             fs::create_directories(themes);
             const std::string live = home.File(".xscreensaver.glimmer-w0rk1n");   // its install runs now
             const std::vector<std::string> gone = {home.File(".xscreensaver.glimmer-a1B2c3"), themes + "glimmer-sunset.desktop.glimmer-g7H8i9",
                                                    home.File(".xscreensaver.glimmer-backup.glimmer-d4E5f6")};
             for (const std::string& f : {gone[0], gone[1], gone[2], live})
                 write(f, "half a file");
             const int holds = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
             ASSERT_EQ(::flock(holds, LOCK_EX), 0);
             EXPECT_EQ(changeEveryHost(r, true).exitCode, 0);
             EXPECT_EQ(changeEveryHost(r, false).exitCode, 0);
             for (const std::string& f : gone)
                 EXPECT_FALSE(fs::exists(f)) << f;
             EXPECT_TRUE(fs::exists(live) && fs::exists(home.File(".xscreensaver.glimmer-backup")));
             ::close(holds);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        TempHome home, run;
        ::chmod(run.Path().c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", run.Path().c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
        // The hosts, named on the PATH as changeEveryHost looks for them; never run.
        fs::create_directories(home.File("bin"));
        for (const std::string host : {"xscreensaver", "mate-screensaver"})
            write(home.File("bin/" + host), ""), ::chmod(home.File("bin/" + host).c_str(), 0755);
        ::setenv("PATH", (home.File("bin") + ":" + path).c_str(), 1);
        write(home.File(".xscreensaver"), settingsBefore);
        row.run(home, request(home, "/s/SUNSET.SCR"));
        Failing = {};
    }
    ::setenv("PATH", path.c_str(), 1);
    ::unsetenv("XDG_RUNTIME_DIR");
}

TEST(XScreenSaverInstall, OnlyThisOneIsShownAfterTheTimeTheFileSaysOrTheDefaultsSay)
{
    TempHome home;
    InstallRequest r = request(home, "/opt/savers/SUNSET.SCR");
    r.only = true;
    write(home.File(".xscreensaver"), "mode:\t\trandom\nprograms: \\\n  \"Sunset (Glimmer)\"  /old/SUNSET.SCR --root \\n\\\n  maze --root \\n\\\n\n");
    const InstallResult done = installInXScreenSaver(r);
    ASSERT_EQ(done.exitCode, 0) << done.message;
    EXPECT_EQ(done.replaced, "/old/SUNSET.SCR");
    EXPECT_NE(done.message.find("the one that ran /old/SUNSET.SCR"), std::string::npos) << done.message;
    EXPECT_EQ(done.seconds, 600);   // none in the file: the app-defaults' ten minutes, written down
    const std::string text = readAll(home.File(".xscreensaver"));
    EXPECT_EQ(resourceValue(text, "mode"), "one");
    EXPECT_EQ(resourceValue(text, "selected"), "0");
    EXPECT_EQ(resourceValue(text, "timeout"), "0:10:00");
    EXPECT_EQ(count(text, "SUNSET.SCR"), 1u);
    std::string shorter = text;
    setResource(shorter, "timeout", "7");
    write(home.File(".xscreensaver"), shorter);
    EXPECT_EQ(installInXScreenSaver(r).seconds, 7 * 60);
}
