// The player's command line, as Windows, XScreenSaver and its settings
// program give it.
#include "common/CommandLine.h"

#include <gtest/gtest.h>

using namespace player;

namespace {
PlayerArgs parse(std::vector<std::string_view> args) { return parseCommandLine(args); }
} // namespace

TEST(PlayerCommandLine, WindowsOptions)
{
    EXPECT_EQ(parse({}).mode, RunMode::FullScreen);
    EXPECT_EQ(parse({"/s"}).mode, RunMode::FullScreen);
    EXPECT_EQ(parse({"/S"}).mode, RunMode::FullScreen);
    EXPECT_EQ(parse({"/c"}).mode, RunMode::Config);
    const PlayerArgs c = parse({"/c:1234"});
    EXPECT_EQ(c.mode, RunMode::Config);
    EXPECT_EQ(c.windowId, 1234u);
    const PlayerArgs p = parse({"/p", "4567"});
    EXPECT_EQ(p.mode, RunMode::IntoWindow);
    EXPECT_EQ(p.windowId, 4567u);
    EXPECT_EQ(parse({"/P:89"}).windowId, 89u);
    EXPECT_EQ(parse({"/p"}).mode, RunMode::Usage);
    EXPECT_EQ(parse({"/p:"}).mode, RunMode::Usage);
    EXPECT_EQ(parse({"/c:x"}).mode, RunMode::Usage);
    EXPECT_EQ(parse({"/s", "/c"}).mode, RunMode::Usage);
    // The same with "-", as some launchers pass them.
    EXPECT_EQ(parse({"-S"}).mode, RunMode::FullScreen);
    EXPECT_EQ(parse({"-c:12"}).windowId, 12u);
    EXPECT_EQ(parse({"-p", "0x1f"}).windowId, 0x1Fu);
    EXPECT_EQ(parse({"-p:7"}).mode, RunMode::IntoWindow);
}

TEST(PlayerCommandLine, XScreenSaverOptionsInAnyOrder)
{
    EXPECT_EQ(parse({"--root"}).mode, RunMode::Root);
    EXPECT_EQ(parse({"-root"}).mode, RunMode::Root);
    EXPECT_EQ(parse({"--window"}).mode, RunMode::Window);
    const PlayerArgs preview = parse({"--root", "--window-id", "0x2c00007"});
    EXPECT_EQ(preview.mode, RunMode::IntoWindow) << "--window-id wins over --root";
    EXPECT_EQ(preview.windowId, 0x2c00007u);
    const PlayerArgs before = parse({"-window-id", "46137351", "-root"});
    EXPECT_EQ(before.mode, RunMode::IntoWindow);
    EXPECT_EQ(before.windowId, 46137351u);
    EXPECT_EQ(parse({"--window", "--root"}).mode, RunMode::Root) << "the later of the two, as X resources go";
    EXPECT_EQ(parse({"--root", "--window"}).mode, RunMode::Window);
    EXPECT_EQ(parse({"--window-id"}).mode, RunMode::Usage);
    EXPECT_EQ(parse({"--window-id", "--root"}).mode, RunMode::Usage);
}

TEST(PlayerCommandLine, StandardHackOptionsAreAcceptedAndChangeNothing)
{
    const PlayerArgs a = parse({"-fps", "--root", "-visual", "default", "-install", "--no-fps", "-mono", "-geometry", "640x480"});
    EXPECT_EQ(a.mode, RunMode::Root) << a.problem;
    EXPECT_EQ(parse({"-install"}).mode, RunMode::FullScreen) << "-install is XScreenSaver's colormap option";
    EXPECT_EQ(parse({"--install"}).mode, RunMode::Install);
    EXPECT_EQ(parse({"--uninstall"}).mode, RunMode::Uninstall);
    EXPECT_EQ(parse({"-visual"}).mode, RunMode::Usage) << "-visual needs its value";
    EXPECT_EQ(parse({"-display", ":3", "--window-id", "12"}).displayName, ":3");
    EXPECT_EQ(parse({"--help"}).mode, RunMode::Help);
}

TEST(PlayerCommandLine, AnythingElseIsAUsageError)
{
    for (auto args : std::vector<std::vector<std::string_view>>{
             {"--bogus"}, {"x"}, {"-"}, {"--"}, {"/x"}, {"/s", "extra"}, {"--install", "--root"}, {"--install", "--uninstall"},
             {"/c", "--window-id", "5"}, {"--INSTALL"}, {"-ROOT"}}) {
        const PlayerArgs a = parse(args);
        EXPECT_EQ(a.mode, RunMode::Usage) << args[0];
        EXPECT_FALSE(a.problem.empty());
    }
    EXPECT_NE(usageText("SUNSET.SCR").find("usage: SUNSET.SCR [/s | /c[:N] | /p N | --window-id N | --root"), std::string::npos);
}

TEST(PlayerCommandLine, WindowIdsAreHexOrDecimalAndFitAnXid)
{
    std::uint64_t id = 0;
    EXPECT_TRUE(parseWindowId("0x1A", id));
    EXPECT_EQ(id, 26u);
    EXPECT_TRUE(parseWindowId("0XfF", id));
    EXPECT_EQ(id, 255u);
    EXPECT_TRUE(parseWindowId("010", id));
    EXPECT_EQ(id, 10u) << "a leading zero is no octal";
    EXPECT_TRUE(parseWindowId("4294967295", id));
    EXPECT_EQ(id, 0xFFFFFFFFu);
    for (const char* bad : {"", "0", "0x", "0x0", "-5", "+5", " 5", "5 ", "4294967296", "0x100000000", "12abc", "0x12g", "99999999999999999999"})
        EXPECT_FALSE(parseWindowId(bad, id)) << bad;
}

TEST(PlayerCommandLine, WaylandWhenTheSessionIsOneAndNoXWindowOrDisplayIsNamed)
{
    struct Case {
        std::vector<std::string_view> args;
        const char* waylandDisplay;
        bool wayland;
    };
    for (const Case& c : std::vector<Case>{
             {{}, "wayland-0", true},
             {{"/s"}, "wayland-1", true},
             {{"--window"}, "wayland-0", true},
             {{}, "", false},
             {{}, nullptr, false},
             {{"--root"}, "wayland-0", false},
             {{"--window-id", "0x2c00007"}, "wayland-0", false},
             {{"/p", "12"}, "wayland-0", false},
             {{"-display", ":1"}, "wayland-0", false},
             {{"--x11"}, "wayland-0", false},
             {{"--wayland"}, nullptr, true},
             {{"-wayland", "--window"}, nullptr, true},
         }) {
        const PlayerArgs a = parse(c.args);
        ASSERT_NE(a.mode, RunMode::Usage) << c.args.size();
        EXPECT_EQ(usesWayland(a, c.waylandDisplay), c.wayland)
            << (c.args.empty() ? "" : c.args[0]) << " with " << (c.waylandDisplay ? c.waylandDisplay : "null");
    }
    EXPECT_EQ(parse({"--x11", "--root"}).mode, RunMode::Root);
    for (const std::vector<std::string_view>& bad : std::vector<std::vector<std::string_view>>{
             {"--wayland", "--root"}, {"--wayland", "--window-id", "5"}, {"--wayland", "-display", ":1"}, {"--wayland", "--x11"}})
        EXPECT_EQ(parse(bad).mode, RunMode::Usage) << bad[1];
}
