#pragma once
// What the player's process tests share: a private X server (Xvfb), a
// screensaver compiled by the real compiler around the built GLIMMER.BIN,
// and the player run as a process of its own.
#include "TestSupport.h"
#include "project/SlotNames.h"

#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

class XServer {
public:
    explicit XServer(const QString& size = QStringLiteral("800x600"));
    ~XServer();
    QString Display() const { return display_; }
    QProcessEnvironment Env() const;
    QImage Screenshot(const QString& file) const;
    // xdotool with these arguments (key space, mousemove 10 10, click 1, ...).
    void Xdotool(const QStringList& args) const;

private:
    QProcess xvfb_;
    QString display_;
};

struct PictureFile {
    QString name;
    QByteArray bytes;
};
// A bitmap of one colour.
PictureFile PlainBitmap(const QString& name, int width, int height, QColor colour);

// Compiles NAME.SCR in `t` from the pictures, with the settings of a new
// project changed by `tweak`; returns its path (empty when the compile failed).
QString CompileScreensaver(TempFolder& t, const QString& name, const QVector<PictureFile>& pictures,
                           const std::function<void(SaverSettings&)>& tweak = {});

// Waits up to `ms` for `done`, asking every 50 ms.
bool WaitFor(const std::function<bool()>& done, int ms);

// The player started on its own: the process, and the time it took to end.
class PlayerProcess {
public:
    PlayerProcess(const QString& scr, const QStringList& args, const QProcessEnvironment& env);
    ~PlayerProcess();
    bool Running() const { return p_.state() == QProcess::Running; }
    qint64 Pid() const { return p_.processId(); }
    // Sends the signal and waits for the end: milliseconds it took, -1 when
    // it did not end within `ms`.
    qint64 EndWith(int signal, int ms = 3000);
    // Waits for an end that something else caused, counted from now.
    qint64 WaitEnd(int ms = 3000);
    int ExitCode() const { return p_.exitCode(); }
    bool NormalExit() const { return p_.exitStatus() == QProcess::NormalExit; }
    QByteArray StandardError();
    QByteArray StandardOutput();

private:
    QProcess p_;
    // What it writes goes to files: read at any moment, with no event loop.
    QTemporaryDir outputs_;
};
