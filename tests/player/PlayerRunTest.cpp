// A compiled screensaver, run for real under Xvfb: full screen it covers the
// screen in its background colour, shows its pictures, and ends on a key or
// a button but not on moving the mouse; without a display, or as the player
// alone, it says why and fails; /c tells what it holds.
#include "JpegBombs.h"
#include "PlayerProcess.h"
#include "XClient.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>

namespace {
int countNear(const QImage& img, QColor c, int tolerance)
{
    int n = 0;
    for (int y = 0; y < img.height(); y += 2)
        for (int x = 0; x < img.width(); x += 2) {
            const QColor p = img.pixelColor(x, y);
            if (std::abs(p.red() - c.red()) <= tolerance && std::abs(p.green() - c.green()) <= tolerance && std::abs(p.blue() - c.blue()) <= tolerance)
                ++n;
        }
    return n;
}

QString compileDemo(TempFolder& t)
{
    return CompileScreensaver(t, "DEMO", {PlainBitmap("RED.BMP", 300, 200, QColor(255, 0, 0)), PlainBitmap("YELLOW.BMP", 200, 150, QColor(255, 255, 0))},
                              [](SaverSettings& s) { s.BackgroundColor = 0x00408000; });   // green 128, blue 64
}
} // namespace

TEST(PlayerRun, ACompiledScreensaverShowsItsPicturesAndEndsOnAKey)
{
    XServer x;
    if (x.Display().isEmpty())
        GTEST_FAIL() << "Xvfb could not be started";
    TempFolder t;
    const QString scr = compileDemo(t);
    ASSERT_FALSE(scr.isEmpty());
    ASSERT_TRUE(QFileInfo(scr).isExecutable());

    PlayerProcess player(scr, {}, x.Env());
    QImage shot;
    int background = 0, picture = 0;
    for (int i = 0; i < 40 && (background < 1000 || picture < 1000); ++i) {
        QThread::msleep(250);
        shot = x.Screenshot(t.File("shot.png"));
        background = countNear(shot, QColor(0, 128, 64), 8);
        picture = countNear(shot, QColor(255, 0, 0), 8);
    }
    shot.save(QStringLiteral(GLIMMER_BIN_DIR "/../player-run.png"));
    EXPECT_GT(background, 50000) << "the background colour covers the screen";
    EXPECT_GT(picture, 10000) << "the first picture is shown";
    EXPECT_TRUE(player.Running());
    x.Xdotool({"key", "space"});
    EXPECT_GE(player.WaitEnd(10000), 0) << "the screensaver did not end on a key";
    EXPECT_TRUE(player.NormalExit());
    EXPECT_EQ(player.ExitCode(), 0);
}

TEST(PlayerRun, ThePointerIsHiddenAndMovingTheMouseDoesNotEndTheShowButAButtonDoes)
{
    XServer x;
    if (x.Display().isEmpty())
        GTEST_FAIL() << "Xvfb could not be started";
    XClient xc(x.Display().toStdString());
    ASSERT_TRUE(xc.Ok());
    TempFolder t;
    const QString scr = compileDemo(t);
    ASSERT_FALSE(scr.isEmpty());
    x.Xdotool({"mousemove", "400", "300"});
    ASSERT_TRUE(xc.PointerVisible()) << "no pointer to hide";
    PlayerProcess player(scr, {"/s"}, x.Env());
    ASSERT_TRUE(WaitFor([&] { return xc.Share(xc.Root(), 0x008040) > 0.5; }, 5000)) << "the show did not cover the screen";
    EXPECT_FALSE(xc.PointerVisible()) << "the pointer shows over the show";
    x.Xdotool({"mousemove", "100", "100"});
    x.Xdotool({"mousemove", "700", "500"});
    QThread::msleep(500);
    EXPECT_TRUE(player.Running()) << "moving the mouse ended the show";
    x.Xdotool({"click", "1"});
    EXPECT_GE(player.WaitEnd(3000), 0) << "a button did not end the show";
    EXPECT_TRUE(player.NormalExit());
    EXPECT_EQ(player.ExitCode(), 0);
}

TEST(PlayerRun, AnUndecodablePictureIsToldOnTheScreenAndTheShowGoesOn)
{
    XServer x;
    if (x.Display().isEmpty())
        GTEST_FAIL() << "Xvfb could not be started";
    XClient xc(x.Display().toStdString());
    TempFolder t;
    const QString scr = CompileScreensaver(t, "BROKEN", {{"BAD.BMP", QByteArray("BM") + QByteArray(300, '\x7f')}, PlainBitmap("RED.BMP", 300, 200, Qt::red)},
                                           [](SaverSettings& s) { s.BackgroundColor = 0x00408000; });
    ASSERT_FALSE(scr.isEmpty());
    PlayerProcess player(scr, {}, x.Env());
    ASSERT_TRUE(WaitFor([&] { return xc.Share(xc.Root(), 0xFF0000) > 0.05; }, 5000)) << "the next picture is not shown";
    EXPECT_TRUE(player.Running());
    EXPECT_TRUE(player.StandardError().contains("The picture BAD.BMP cannot be shown: Bitmap image is not valid."))
        << player.StandardError().constData();
    // The message stands at the bottom of the screen, white on black.
    const QImage shot = x.Screenshot(t.File("message.png"));
    shot.save(QStringLiteral(GLIMMER_BIN_DIR "/../player-message.png"));
    const QImage bottom = shot.copy(0, shot.height() - 80, shot.width(), 80);
    EXPECT_GT(countNear(bottom, Qt::black, 0), 200);
    EXPECT_GT(countNear(bottom, Qt::white, 0), 20);
    EXPECT_GE(player.EndWith(SIGTERM), 0);
    EXPECT_EQ(player.ExitCode(), 0);
}

TEST(PlayerRun, WithoutADisplayAScreensaverSaysSoAndFails)
{
    TempFolder t;
    const QString scr = CompileScreensaver(t, "DEMO", {PlainBitmap("A.BMP", 40, 30, Qt::blue)});
    ASSERT_FALSE(scr.isEmpty());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    for (const QString& display : {QString(), QString(":9987")}) {
        SCOPED_TRACE(display.toStdString());
        if (display.isEmpty())
            env.remove("DISPLAY");
        else
            env.insert("DISPLAY", display);
        for (const QStringList& args : {QStringList{}, QStringList{"/s"}, QStringList{"--root"}, QStringList{"--window-id", "0x200001"}}) {
            PlayerProcess p(scr, args, env);
            ASSERT_GE(p.WaitEnd(10000), 0);
            EXPECT_TRUE(p.NormalExit());
            EXPECT_EQ(p.ExitCode(), 1);
            EXPECT_TRUE(p.StandardError().contains("display")) << p.StandardError().constData();
        }
    }
}

TEST(PlayerRun, SlashCTellsWhatTheScreensaverHoldsWithoutADisplay)
{
    TempFolder t;
    const QString scr = CompileScreensaver(t, "SUNSET", {PlainBitmap("RED.BMP", 40, 30, Qt::red), PlainBitmap("BLUE.BMP", 40, 30, Qt::blue)},
                                           [](SaverSettings& s) {
                                               s.DisplayTimes = 1;
                                               s.DisplaySeconds = 1;
                                           });
    ASSERT_FALSE(scr.isEmpty());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    for (const QString& option : {QString("/c"), QString("/C:1234")}) {
        PlayerProcess p(scr, {option}, env);
        ASSERT_GE(p.WaitEnd(5000), 0);
        EXPECT_EQ(p.ExitCode(), 0);
        EXPECT_EQ(QString::fromUtf8(p.StandardOutput()),
                  "Screensaver: SUNSET\nPictures: 2 (RED.BMP, BLUE.BMP)\nMode: Random, each picture 1 time for 1 second\n\n"
                  "Made with Glimmer. Run it without options to show it full screen; "
                  "--window shows it in a window, --root on the desktop or in XScreenSaver.\n");
        EXPECT_TRUE(p.StandardError().isEmpty()) << p.StandardError().constData();
    }
}

namespace {
// A process's peak resident size so far, in KiB (-1 once it is gone).
long PeakKb(qint64 pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

// Runs until `ms` have gone by, noting the peak memory; true when the
// process still runs.
bool RunFor(PlayerProcess& p, int ms, long& peakKb)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && p.Running()) {
        peakKb = std::max(peakKb, PeakKb(p.Pid()));
        QThread::msleep(50);
    }
    return p.Running();
}
} // namespace

TEST(PlayerRun, ABombEndsWithinASecondOfAKeyOrOfSigterm)
{
    XServer x;
    if (x.Display().isEmpty())
        GTEST_FAIL() << "Xvfb could not be started";
    TempFolder t;
    // One legal JPEG of 883 scans over 16384 x 16384 pixels.
    const QString scr = CompileScreensaver(t, "BOMB", {{"BOMB.JPG", ManyScansBomb(16384, 16384)}});
    ASSERT_FALSE(scr.isEmpty());

    // Full screen: a key while the picture is decoding.
    PlayerProcess full(scr, {}, x.Env());
    long peak = 0;
    ASSERT_TRUE(RunFor(full, 1000, peak)) << "it ended before the key";
    QElapsedTimer clock;
    clock.start();
    x.Xdotool({"key", "space"});
    ASSERT_GE(full.WaitEnd(3000), 0);
    const qint64 afterKey = clock.elapsed();
    EXPECT_LT(afterKey, 1000) << "including xdotool's own start";
    EXPECT_EQ(full.ExitCode(), 0);
    EXPECT_LT(peak, 1200L * 1024);

    // In a window of its own, which input does not end: SIGTERM does.
    PlayerProcess windowed(scr, {"--window"}, x.Env());
    ASSERT_TRUE(RunFor(windowed, 1000, peak));
    const qint64 afterTerm = windowed.EndWith(SIGTERM);
    EXPECT_GE(afterTerm, 0);
    EXPECT_LT(afterTerm, 1000);
    EXPECT_TRUE(windowed.NormalExit());
    EXPECT_EQ(windowed.ExitCode(), 0);
    EXPECT_LT(peak, 1200L * 1024);
    std::printf("ended %lld ms after a key, %lld ms after SIGTERM; peak resident %ld MiB\n", static_cast<long long>(afterKey),
                static_cast<long long>(afterTerm), peak / 1024);
}

TEST(PlayerRun, ThePlayerAloneSaysWhatItIsAndFails)
{
    const QString bin = QStringLiteral(GLIMMER_BIN_DIR "/GLIMMER.BIN");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    for (const QString& display : {QString(), QString(":9987")}) {
        if (!display.isEmpty())
            env.insert("DISPLAY", display);
        PlayerProcess p(bin, {}, env);
        ASSERT_GE(p.WaitEnd(10000), 0);
        EXPECT_TRUE(p.NormalExit());
        EXPECT_EQ(p.ExitCode(), 1);
        EXPECT_TRUE(p.StandardError().contains("holds no screensaver"));
    }
    PlayerProcess bogus(bin, {"--bogus"}, env);
    ASSERT_GE(bogus.WaitEnd(10000), 0);
    EXPECT_EQ(bogus.ExitCode(), 2);
    EXPECT_TRUE(bogus.StandardError().contains("usage:"));
    EXPECT_TRUE(bogus.StandardError().contains("--bogus"));
}

TEST(PlayerRun, UnderAMemoryLimitItSaysSoAndEndsInOrder)
{
#ifdef GLIMMER_SANITIZE_BUILD
    GTEST_SKIP() << "the sanitizers need more address space than any of these limits";
#endif
    XServer x;
    TempFolder t;
    const QString scr = compileDemo(t);
    ASSERT_FALSE(x.Display().isEmpty() || scr.isEmpty());
    // From too little to load it to enough to show: on the way, its file, a
    // thread or a picture cannot be had.
    bool shown = false;
    for (int mb = 4; mb <= 64 && !shown; mb += 2) {
        PlayerProcess player("/bin/sh", {"-c", QString("ulimit -v %1; exec \"$0\" --window").arg(mb * 1024), scr}, x.Env());
        shown = player.WaitEnd(1500) < 0 && player.EndWith(SIGTERM) >= 0;
        EXPECT_TRUE(player.NormalExit() && !player.StandardError().contains("std::")) << mb << " MB: " << player.StandardError().constData();
    }
    EXPECT_TRUE(shown);
}

TEST(PlayerBinary, NeedsOnlyTheXClientLibrariesAndTheCRuntime)
{
    QProcess ldd;
    ldd.start("ldd", {QStringLiteral(GLIMMER_BIN_DIR "/GLIMMER.BIN")});
    ASSERT_TRUE(ldd.waitForFinished(10000));
    const QString out = QString::fromLocal8Bit(ldd.readAllStandardOutput());
    EXPECT_FALSE(out.contains("Qt", Qt::CaseInsensitive)) << out.toStdString();
#ifndef GLIMMER_SANITIZE_BUILD
    // X's client libraries and what they use, the C library: what every X
    // desktop has. No libjpeg, no C++ runtime: those are inside.
    const QRegularExpression allowed(
        "^(linux-vdso|ld-linux[-\\w]*|libc|libm|libX11|libxcb|libXau|libXdmcp|libXrandr|libXrender|libXext|libbsd|libmd)\\.so");
    int libraries = 0;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        const QString name = line.trimmed().section(' ', 0, 0).section('/', -1);
        EXPECT_TRUE(allowed.match(name).hasMatch()) << "GLIMMER.BIN needs " << name.toStdString();
        ++libraries;
    }
    EXPECT_GT(libraries, 2);
    EXPECT_TRUE(out.contains("libX11.so")) << out.toStdString();
#endif
}
