#include "PlayerProcess.h"

#include "compiler/ImageStore.h"
#include "project/Project.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <unistd.h>

XServer::XServer(const QString& size)
{
    if (QStandardPaths::findExecutable("Xvfb").isEmpty())
        return;
    // The server picks a free display and names it: no two test programs
    // running at once can take the same one.
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    xvfb_.setChildProcessModifier([fds] { ::dup2(fds[1], 3); });
    xvfb_.start("Xvfb", {"-displayfd", "3", "-screen", "0", size + "x24", "-nolisten", "tcp", "-noreset"});
    ::close(fds[1]);
    QByteArray number;
    char c;
    while (xvfb_.waitForStarted(5000) && ::read(fds[0], &c, 1) == 1 && c != '\n')
        number += c;
    ::close(fds[0]);
    if (!number.isEmpty())
        display_ = ":" + QString::fromLatin1(number);
}

XServer::~XServer()
{
    xvfb_.terminate();
    xvfb_.waitForFinished(3000);
}

QProcessEnvironment XServer::Env() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display_);
    env.remove("QT_QPA_PLATFORM");
    env.remove("XSCREENSAVER_WINDOW");
    return env;
}

QImage XServer::Screenshot(const QString& file) const
{
    QProcess p;
    p.setProcessEnvironment(Env());
    p.start("import", {"-window", "root", file});
    p.waitForFinished(15000);
    return QImage(file);
}

void XServer::Xdotool(const QStringList& args) const
{
    QProcess p;
    p.setProcessEnvironment(Env());
    p.start("xdotool", args);
    p.waitForFinished(5000);
}

PictureFile PlainBitmap(const QString& name, int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return {name, bytes};
}

QString CompileScreensaver(TempFolder& t, const QString& name, const QVector<PictureFile>& pictures,
                           const std::function<void(SaverSettings&)>& tweak)
{
    Project() = ProjectState{};
    Project().ProgramFolder = QStringLiteral(GLIMMER_BIN_DIR "/");
    Project().ProjectFolder = t.Path();
    Project().ProjectFile = name + ".SSJ";
    Project().Settings = newProjectSettings();
    Project().Settings.ImageCount = int(pictures.size());
    for (int k = 0; k < pictures.size(); ++k) {
        WriteAll(t.File(pictures[k].name), pictures[k].bytes);
        setSlotName(Project().Settings.Slot(k + 1), pictures[k].name);
    }
    if (tweak)
        tweak(Project().Settings);
    try {
        compileProject(Project());
    } catch (const std::exception&) {
        return QString();
    }
    return t.File(name + ".SCR");
}

bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (done())
            return true;
        if (clock.elapsed() > ms)
            return false;
        QThread::msleep(50);
    }
}

PlayerProcess::PlayerProcess(const QString& scr, const QStringList& args, const QProcessEnvironment& env)
{
    p_.setProcessEnvironment(env);
    p_.setStandardOutputFile(outputs_.filePath("out"));
    p_.setStandardErrorFile(outputs_.filePath("err"));
    p_.start(scr, args);
    p_.waitForStarted(5000);
}

PlayerProcess::~PlayerProcess()
{
    if (p_.state() != QProcess::NotRunning) {
        p_.kill();
        p_.waitForFinished(3000);
    }
}

qint64 PlayerProcess::EndWith(int signal, int ms)
{
    if (p_.state() != QProcess::Running)
        return -1;
    ::kill(pid_t(p_.processId()), signal);
    return WaitEnd(ms);
}

qint64 PlayerProcess::WaitEnd(int ms)
{
    QElapsedTimer clock;
    clock.start();
    if (!p_.waitForFinished(ms))
        return -1;
    return clock.elapsed();
}

QByteArray PlayerProcess::StandardError() { return ReadAll(outputs_.filePath("err")); }

QByteArray PlayerProcess::StandardOutput() { return ReadAll(outputs_.filePath("out")); }
