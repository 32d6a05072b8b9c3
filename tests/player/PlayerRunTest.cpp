// A compiled screensaver, run for real under Xvfb: it must cover the screen
// in its background colour, show its pictures, and end on a key.
#include "JpegBombs.h"
#include "StoreReader.h"
#include "TestSupport.h"
#include "compiler/ImageStore.h"
#include "project/Project.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>

namespace {
class XServer {
public:
    XServer()
    {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty())
            return;
        // The server picks a free display and names it: no two test programs
        // running at once can take the same one.
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        xvfb_.setChildProcessModifier([fds] { ::dup2(fds[1], 3); });
        xvfb_.start("Xvfb", {"-displayfd", "3", "-screen", "0", "800x600x24", "-nolisten", "tcp", "-noreset"});
        ::close(fds[1]);
        QByteArray number;
        char c;
        while (xvfb_.waitForStarted(5000) && ::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        if (!number.isEmpty())
            display_ = ":" + QString::fromLatin1(number);
    }
    ~XServer()
    {
        xvfb_.terminate();
        xvfb_.waitForFinished(3000);
    }
    QString Display() const { return display_; }
    QProcessEnvironment Env() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        env.remove("QT_QPA_PLATFORM");
        return env;
    }
    QImage Screenshot(const QString& file) const
    {
        QProcess p;
        p.setProcessEnvironment(Env());
        p.start("import", {"-window", "root", file});
        p.waitForFinished(15000);
        return QImage(file);
    }
    void Key(const QString& key) const
    {
        QProcess p;
        p.setProcessEnvironment(Env());
        p.start("xdotool", {"key", key});
        p.waitForFinished(5000);
    }
private:
    QProcess xvfb_;
    QString display_;
};

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
} // namespace

TEST(PlayerRun, ACompiledScreensaverShowsItsPicturesAndEndsOnAKey)
{
    XServer x;
    if (x.Display().isEmpty())
        GTEST_FAIL() << "Xvfb could not be started";
    TempFolder t;
    QImage red(300, 200, QImage::Format_RGB32);
    red.fill(QColor(255, 0, 0));
    red.save(t.File("RED.BMP"), "BMP");
    QImage yellow(200, 150, QImage::Format_RGB32);
    yellow.fill(QColor(255, 255, 0));
    yellow.save(t.File("YELLOW.BMP"), "BMP");
    Project() = ProjectState{};
    Project().ProgramFolder = QStringLiteral(GLIMMER_BIN_DIR "/");
    Project().ProjectFolder = t.Path();
    Project().ProjectFile = "DEMO.SSJ";
    Project().Settings = NewProjectSettings();
    Project().Settings.BackgroundColor = 0x00408000;   // green 128, blue 64
    Project().Settings.ImageCount = 2;
    Project().Settings.Slot(1).SetName("RED.BMP");
    Project().Settings.Slot(2).SetName("YELLOW.BMP");
    {
        MessageRecorder rec;
        ASSERT_NO_THROW(CompileScreenSaver());
    }
    ASSERT_TRUE(QFileInfo(t.File("DEMO.SCR")).isExecutable());

    QProcess scr;
    scr.setProcessEnvironment(x.Env());
    scr.start(t.File("DEMO.SCR"), {});
    ASSERT_TRUE(scr.waitForStarted(5000));
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
    EXPECT_EQ(scr.state(), QProcess::Running);
    x.Key("space");
    ASSERT_TRUE(scr.waitForFinished(10000)) << "the screensaver did not end on a key";
    EXPECT_EQ(scr.exitStatus(), QProcess::NormalExit) << scr.readAllStandardError().constData();
    EXPECT_EQ(scr.exitCode(), 0);
}

TEST(PlayerRun, WithoutADisplayAScreensaverSaysSoAndFails)
{
    TempFolder t;
    QImage blue(40, 30, QImage::Format_RGB32);
    blue.fill(Qt::blue);
    blue.save(t.File("A.BMP"), "BMP");
    Project() = ProjectState{};
    Project().ProgramFolder = QStringLiteral(GLIMMER_BIN_DIR "/");
    Project().ProjectFolder = t.Path();
    Project().ProjectFile = "DEMO.SSJ";
    Project().Settings = NewProjectSettings();
    Project().Settings.ImageCount = 1;
    Project().Settings.Slot(1).SetName("A.BMP");
    {
        MessageRecorder rec;
        ASSERT_NO_THROW(CompileScreenSaver());
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    for (const QString& display : {QString(), QString(":9987")}) {
        SCOPED_TRACE(display.toStdString());
        if (display.isEmpty())
            env.remove("DISPLAY");
        else
            env.insert("DISPLAY", display);
        for (const QStringList& args : {QStringList{}, QStringList{"/s"}, QStringList{"--root"}}) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(t.File("DEMO.SCR"), args);
            ASSERT_TRUE(p.waitForFinished(10000));
            EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(p.exitCode(), 1);
            const QByteArray err = p.readAllStandardError();
            EXPECT_TRUE(err.contains("display")) << err.constData();
        }
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

// A screensaver of one legal JPEG of 883 scans over 16384 x 16384 pixels.
QString CompileBomb(TempFolder& t)
{
    WriteAll(t.File("BOMB.JPG"), ManyScansBomb(16384, 16384));
    Project() = ProjectState{};
    Project().ProgramFolder = QStringLiteral(GLIMMER_BIN_DIR "/");
    Project().ProjectFolder = t.Path();
    Project().ProjectFile = "BOMB.SSJ";
    Project().Settings = NewProjectSettings();
    Project().Settings.ImageCount = 1;
    Project().Settings.Slot(1).SetName("BOMB.JPG");
    MessageRecorder rec;
    try {
        CompileScreenSaver();
    } catch (const std::exception&) {
        return QString();
    }
    return t.File("BOMB.SCR");
}

// Runs until the first check has passed or `ms` have gone by, noting the
// peak memory; true when the process still runs.
bool RunFor(QProcess& p, int ms, long& peakKb)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && p.state() == QProcess::Running) {
        peakKb = std::max(peakKb, PeakKb(p.processId()));
        p.waitForFinished(50);
    }
    return p.state() == QProcess::Running;
}
} // namespace

TEST(PlayerRun, ABombEndsWithinASecondOfAKeyOrOfSigterm)
{
    XServer x;
    if (x.Display().isEmpty())
        GTEST_FAIL() << "Xvfb could not be started";
    TempFolder t;
    const QString scr = CompileBomb(t);
    ASSERT_FALSE(scr.isEmpty());

    // Full screen: a key while the picture is decoding.
    QProcess full;
    full.setProcessEnvironment(x.Env());
    full.start(scr, {});
    ASSERT_TRUE(full.waitForStarted(5000));
    long peak = 0;
    ASSERT_TRUE(RunFor(full, 1000, peak)) << "it ended before the key";
    QElapsedTimer clock;
    clock.start();
    x.Key("space");
    ASSERT_TRUE(full.waitForFinished(3000));
    const qint64 afterKey = clock.elapsed();
    EXPECT_LT(afterKey, 1000) << "including xdotool's own start";
    EXPECT_EQ(full.exitCode(), 0);
    EXPECT_LT(peak, 1200L * 1024);

    // In a window of its own, which input does not end: SIGTERM does.
    QProcess windowed;
    windowed.setProcessEnvironment(x.Env());
    windowed.start(scr, {"--window"});
    ASSERT_TRUE(windowed.waitForStarted(5000));
    ASSERT_TRUE(RunFor(windowed, 1000, peak));
    clock.restart();
    ::kill(pid_t(windowed.processId()), SIGTERM);
    ASSERT_TRUE(windowed.waitForFinished(3000));
    const qint64 afterTerm = clock.elapsed();
    EXPECT_LT(afterTerm, 1000);
    EXPECT_EQ(windowed.exitStatus(), QProcess::NormalExit);
    EXPECT_LT(peak, 1200L * 1024);
    std::printf("ended %lld ms after a key, %lld ms after SIGTERM; peak resident %ld MiB\n",
                static_cast<long long>(afterKey), static_cast<long long>(afterTerm), peak / 1024);
}

TEST(PlayerRun, ThePlayerAloneSaysWhatItIsAndFails)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(GLIMMER_BIN_DIR "/GLIMMER.BIN"), {});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardError().contains("holds no screensaver"));
    // Nor when a display is named that is not there.
    env.insert("DISPLAY", ":9987");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(GLIMMER_BIN_DIR "/GLIMMER.BIN"), {});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardError().contains("holds no screensaver"));
    p.start(QStringLiteral(GLIMMER_BIN_DIR "/GLIMMER.BIN"), {"--bogus"});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("usage:"));
}
