// The player in windows it is given, as XScreenSaver and its settings
// program give them (--window-id, --root), and in a window of its own
// (--window): drawn in at the window's real size and following it, never
// ended by input, ended by a signal or the window's end with status 0, and
// never a message box: a damaged file is told on standard error.
#include "PlayerProcess.h"
#include "XClient.h"

#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>

namespace {
constexpr std::uint32_t background = 0x008040;   // the settings' 0x00408000

// The show fills the window: background and pictures, nothing else.
bool showsIn(XClient& xc, unsigned long window)
{
    const double bg = xc.Share(window, background);
    return bg > 0.01 && bg + xc.Share(window, 0xFF0000) + xc.Share(window, 0xFFFF00) > 0.99;
}

QString hex(unsigned long window) { return QStringLiteral("0x%1").arg(window, 0, 16); }

QString compileDemo(TempFolder& t)
{
    return CompileScreensaver(t, "DEMO", {PlainBitmap("RED.BMP", 300, 200, QColor(255, 0, 0)), PlainBitmap("YELLOW.BMP", 200, 150, QColor(255, 255, 0))},
                              [](SaverSettings& s) {
                                  s.BackgroundColor = 0x00408000;
                                  s.DisplaySeconds = 60;   // the first picture stays where it is
                              });
}

struct Fixture {
    XServer x;
    XClient xc{x.Display().toStdString()};
    TempFolder t;
    QString scr;
    bool Ready()
    {
        if (x.Display().isEmpty() || !xc.Ok())
            return false;
        scr = compileDemo(t);
        return !scr.isEmpty();
    }
    // The screensaver's own window, once it is shown.
    unsigned long OwnWindow(const std::vector<unsigned long>& before)
    {
        unsigned long found = 0;
        WaitFor(
            [&] {
                for (unsigned long w : xc.MappedTopLevels())
                    if (std::find(before.begin(), before.end(), w) == before.end())
                        found = w;
                return found != 0;
            },
            5000);
        return found;
    }
};
} // namespace

TEST(PlayerWindow, EveryModeEndsPromptlyOnEachSignalWithStatusZero)
{
    Fixture f;
    ASSERT_TRUE(f.Ready());
    const int endings[] = {SIGTERM, SIGINT, SIGHUP};
    for (const QString& mode : {QString("full screen"), QString("--window"), QString("--root"), QString("--window-id")})
        for (const int sig : endings) {
            SCOPED_TRACE((mode + " signal " + QString::number(sig)).toStdString());
            const unsigned long given = f.xc.CreateWindow(50, 50, 320, 240);
            QProcessEnvironment env = f.x.Env();
            QStringList args;
            if (mode == "--window")
                args = {"--window"};
            if (mode == "--root") {
                args = {"--root"};
                env.insert("XSCREENSAVER_WINDOW", hex(given));
            }
            if (mode == "--window-id")
                args = {"--window-id", hex(given)};
            PlayerProcess player(f.scr, args, env);
            const unsigned long drawnIn = args.isEmpty() || mode == "--window" ? f.xc.Root() : given;
            ASSERT_TRUE(WaitFor([&] { return f.xc.Share(drawnIn, background) > 0.2; }, 5000)) << "nothing was drawn";
            const qint64 ms = player.EndWith(sig);
            EXPECT_GE(ms, 0) << "still running";
            EXPECT_LT(ms, 500);
            EXPECT_TRUE(player.NormalExit());
            EXPECT_EQ(player.ExitCode(), 0);
            f.xc.Destroy(given);
        }
}

TEST(PlayerWindow, DrawsIntoAGivenWindowAtItsSizeAndFollowsItsResizes)
{
    Fixture f;
    ASSERT_TRUE(f.Ready());
    const unsigned long w = f.xc.CreateWindow(0, 0, 400, 300);
    PlayerProcess player(f.scr, {"-window-id", hex(w), "-fps"}, f.x.Env());
    // 300 x 200 of 400 x 300: half the window is the picture.
    EXPECT_TRUE(WaitFor([&] { return f.xc.Share(w, 0xFF0000) > 0.45 && f.xc.Share(w, background) > 0.45; }, 5000))
        << "red " << f.xc.Share(w, 0xFF0000) << ", background " << f.xc.Share(w, background);
    // Input in a given window is not the player's to act on.
    f.x.Xdotool({"mousemove", "100", "100"});
    f.x.Xdotool({"click", "1"});
    f.x.Xdotool({"key", "space"});

    // Smaller than the picture: it is halved to 150 x 100, whole.
    f.xc.Resize(w, 200, 150);
    EXPECT_TRUE(WaitFor([&] { const double r = f.xc.Share(w, 0xFF0000); return r > 0.45 && r < 0.55; }, 5000))
        << "red " << f.xc.Share(w, 0xFF0000) << " of 200 x 150";
    // Larger: the new room is painted, and the picture is whole again.
    f.xc.Resize(w, 640, 480);
    EXPECT_TRUE(WaitFor([&] { return f.xc.Share(w, background) > 0.75 && f.xc.Share(w, 0xFF0000) > 0.18; }, 5000))
        << "background " << f.xc.Share(w, background) << ", red " << f.xc.Share(w, 0xFF0000) << " of 640 x 480";
    EXPECT_TRUE(player.Running()) << player.StandardError().constData();
    EXPECT_GE(player.EndWith(SIGTERM), 0);
    EXPECT_EQ(player.ExitCode(), 0);
}

TEST(PlayerWindow, AWindowWithAlphaIsPaintedOpaque)
{
    // A preview window of a compositor's 32-bit visual: the background and
    // the picture must not let the desktop show through.
    Fixture f;
    ASSERT_TRUE(f.Ready());
    const unsigned long w = f.xc.CreateAlphaWindow(0, 0, 400, 300);
    if (w == 0)
        GTEST_SKIP() << "this X server has no 32-bit visual";
    PlayerProcess player(f.scr, {"--window-id", hex(w)}, f.x.Env());
    EXPECT_TRUE(WaitFor([&] { return f.xc.Share(w, 0xFF0000) > 0.45 && f.xc.Share(w, background) > 0.45; }, 5000))
        << "red " << f.xc.Share(w, 0xFF0000) << ", background " << f.xc.Share(w, background);
    EXPECT_EQ(f.xc.OpaqueShare(w), 1.0);
    EXPECT_GE(player.EndWith(SIGTERM), 0);
    EXPECT_EQ(player.ExitCode(), 0);
}

TEST(PlayerWindow, EndsWhenItsWindowIsDestroyedOrClosed)
{
    Fixture f;
    ASSERT_TRUE(f.Ready());
    for (const QString& option : {QString("--window-id"), QString("/p")}) {
        const unsigned long w = f.xc.CreateWindow(0, 0, 320, 240);
        PlayerProcess player(f.scr, {option, option == "/p" ? QString::number(w) : hex(w)}, f.x.Env());
        ASSERT_TRUE(WaitFor([&] { return f.xc.Share(w, background) > 0.2; }, 5000));
        f.xc.Destroy(w);
        const qint64 ms = player.WaitEnd(3000);
        EXPECT_GE(ms, 0) << option.toStdString() << ": still running after its window was destroyed";
        EXPECT_LT(ms, 500);
        EXPECT_EQ(player.ExitCode(), 0);
    }
    // A window of its own, closed as a window manager closes it.
    const std::vector<unsigned long> before = f.xc.MappedTopLevels();
    PlayerProcess own(f.scr, {"--window"}, f.x.Env());
    const unsigned long w = f.OwnWindow(before);
    ASSERT_NE(w, 0u) << "no window of its own";
    ASSERT_TRUE(WaitFor([&] { return f.xc.Share(w, background) > 0.2; }, 5000));
    f.x.Xdotool({"key", "space"});
    QThread::msleep(300);
    EXPECT_TRUE(own.Running()) << "a key ended the show in a window of its own";
    f.xc.AskToClose(w);
    EXPECT_GE(own.WaitEnd(3000), 0);
    EXPECT_EQ(own.ExitCode(), 0);
}

TEST(PlayerWindow, RootMeansTheDaemonsWindowThenTheVirtualRootThenTheRoot)
{
    Fixture f;
    ASSERT_TRUE(f.Ready());
    // XSCREENSAVER_WINDOW wins over a virtual root; --window-id over both.
    const unsigned long daemons = f.xc.CreateWindow(0, 0, 200, 150);
    const unsigned long vroot = f.xc.CreateWindow(300, 200, 300, 250);
    const unsigned long preview = f.xc.CreateWindow(620, 0, 160, 120);
    f.xc.CreateWindow(10, 10, 20, 10, vroot);   // a program's window on the desktop
    f.xc.SetVirtualRoot(vroot, vroot);
    {
        QProcessEnvironment env = f.x.Env();
        env.insert("XSCREENSAVER_WINDOW", hex(daemons));
        PlayerProcess player(f.scr, {"--root"}, env);
        EXPECT_TRUE(WaitFor([&] { return showsIn(f.xc, daemons); }, 5000));
        EXPECT_EQ(f.xc.Share(vroot, background), 0);
        PlayerProcess preview1(f.scr, {"--root", "--window-id", hex(preview)}, env);
        EXPECT_TRUE(WaitFor([&] { return showsIn(f.xc, preview); }, 5000));
        EXPECT_EQ(f.xc.Share(vroot, background), 0);
    }
    f.xc.Destroy(preview);
    {
        PlayerProcess player(f.scr, {"-root"}, f.x.Env());
        EXPECT_TRUE(WaitFor([&] { return showsIn(f.xc, vroot); }, 5000))
            << "the virtual root was not drawn in";
        // Read on the screen: a window's own pixels read back whole even when covered.
        int w = 0, h = 0;
        const std::vector<std::uint32_t> seen = f.xc.Pixels(vroot, w, h);
        EXPECT_EQ(seen.empty() ? 1 : seen[std::size_t(15 * w + 20)], 0u) << "the show covers a program's window";
    }
    f.xc.Destroy(vroot);
    f.xc.Destroy(daemons);
    {
        PlayerProcess player(f.scr, {"--root"}, f.x.Env());
        EXPECT_TRUE(WaitFor([&] { return showsIn(f.xc, f.xc.Root()); }, 5000)) << "the root was not drawn on";
    }
}

TEST(PlayerWindow, ADamagedFileIsToldOnStandardErrorAndNoWindowAppears)
{
    Fixture f;
    ASSERT_TRUE(f.Ready());
    QByteArray bytes = ReadAll(f.scr);
    bytes.chop(10);
    const QString damaged = f.t.File("DAMAGED.SCR");
    WriteAll(damaged, bytes);
    QFile::setPermissions(damaged, QFile::permissions(f.scr));
    const unsigned long w = f.xc.CreateWindow(0, 0, 320, 240);
    const std::vector<unsigned long> before = f.xc.MappedTopLevels();
    for (const QStringList& args : {QStringList{"--window-id", hex(w)}, QStringList{"--root"}, QStringList{}}) {
        PlayerProcess player(damaged, args, f.x.Env());
        // A message box would wait for someone to close it.
        ASSERT_GE(player.WaitEnd(5000), 0) << args.join(' ').toStdString();
        EXPECT_EQ(player.ExitCode(), 1);
        EXPECT_TRUE(player.StandardError().contains("This screensaver file is damaged: picture 2 (YELLOW.BMP) lies outside the file."))
            << player.StandardError().constData();
        EXPECT_EQ(f.xc.MappedTopLevels(), before);
    }
    EXPECT_EQ(f.xc.Share(w, background), 0);
}

TEST(PlayerWindow, ABrokenPictureInAGivenWindowIsToldOnStandardErrorAndTheShowGoesOn)
{
    XServer x;
    XClient xc(x.Display().toStdString());
    ASSERT_TRUE(xc.Ok());
    TempFolder t;
    const QString scr = CompileScreensaver(t, "BROKEN", {{"BAD.JPG", QByteArray("\xFF\xD8\xFF\xE0 this is no JPEG")}, PlainBitmap("RED.BMP", 100, 80, Qt::red)},
                                           [](SaverSettings& s) { s.BackgroundColor = 0x00408000; });
    ASSERT_FALSE(scr.isEmpty());
    const unsigned long w = xc.CreateWindow(0, 0, 320, 240);
    const std::vector<unsigned long> before = xc.MappedTopLevels();
    PlayerProcess player(scr, {"--window-id", hex(w)}, x.Env());
    EXPECT_TRUE(WaitFor([&] { return xc.Share(w, 0xFF0000) > 0.05; }, 5000));
    EXPECT_TRUE(player.Running());
    EXPECT_TRUE(player.StandardError().contains("The picture BAD.JPG cannot be shown: ")) << player.StandardError().constData();
    EXPECT_EQ(xc.MappedTopLevels(), before) << "a window appeared";
    EXPECT_GE(player.EndWith(SIGTERM), 0);
}

TEST(PlayerWindow, AWindowThatIsNotThereIsToldAndFails)
{
    Fixture f;
    ASSERT_TRUE(f.Ready());
    PlayerProcess player(f.scr, {"--window-id", "0x7ffffff"}, f.x.Env());
    ASSERT_GE(player.WaitEnd(5000), 0);
    EXPECT_EQ(player.ExitCode(), 1);
    EXPECT_TRUE(player.StandardError().contains("0x7ffffff")) << player.StandardError().constData();
}

TEST(PlayerWindow, WhatTheHostPaintsOverTheShowIsGoneWithinASecond)
{
    // mate-screensaver paints its window after the saver has started, over
    // the windows in it too, and tells it nothing. (What a host paints in its
    // own area alone, Expose or not, the show's windows keep out.)
    Fixture f;
    ASSERT_TRUE(f.Ready());
    const unsigned long host = f.xc.CreateWindow(0, 0, 400, 300);
    PlayerProcess player(f.scr, {"--window-id", hex(host)}, f.x.Env());
    const auto whole = [&] { return showsIn(f.xc, host) && f.xc.Share(host, 0xFF0000) > 0.1 && f.xc.Share(host, 0) == 0; };
    ASSERT_TRUE(WaitFor(whole, 5000));
    f.xc.PaintBlack(host);
    EXPECT_TRUE(WaitFor(whole, 1000)) << f.xc.Share(host, 0) << " black";
    EXPECT_LT(player.WaitEnd(100), 0) << "the player ended";
}

TEST(PlayerWindow, SigUsr1StartsTheShowAgainFromItsFirstPicture)
{
    // xsecurelock's reset, when its password prompt closes.
    Fixture f;
    ASSERT_TRUE(f.Ready());
    f.scr = CompileScreensaver(f.t, "TWO", {PlainBitmap("RED.BMP", 300, 200, Qt::red), PlainBitmap("YELLOW.BMP", 200, 150, Qt::yellow)},
                               [](SaverSettings& s) { s.DisplaySeconds = 4, s.DisplayTimes = 1; });
    const unsigned long host = f.xc.CreateWindow(0, 0, 400, 300);
    PlayerProcess player(f.scr, {"--window-id", hex(host)}, f.x.Env());
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(WaitFor([&] { return f.xc.Share(host, 0xFFFF00) > 0.05; }, 10000)) << "the second picture never came";
        ::kill(pid_t(player.Pid()), SIGUSR1);
        EXPECT_TRUE(WaitFor([&] { return f.xc.Share(host, 0xFF0000) > 0.05; }, 2000)) << "not back at the first picture";
        ASSERT_LT(player.WaitEnd(100), 0) << "SIGUSR1 ended the player: " << player.StandardError().constData();
    }
}
