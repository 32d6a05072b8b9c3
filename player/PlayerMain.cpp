// GLIMMER.BIN: the player of a compiled screensaver. A compiled NAME.SCR is
// this program followed by its image store; run, it shows the pictures
// exactly as Glimmer's preview does.
#include "StoreReader.h"

#include "picture/Registration.h"
#include "show/SMViewF.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Toolkit.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QWindow>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {
enum class Mode { FullScreen, Config, IntoWindow, Root, Window, Usage };

struct Args {
    Mode mode = Mode::FullScreen;
    WId window = 0;
};

Args parseArgs(int argc, char** argv)
{
    Args a;
    auto number = [](const char* s, WId& out) {
        char* end = nullptr;
        const unsigned long long v = std::strtoull(s, &end, 0);
        if (!s[0] || *end)
            return false;
        out = WId(v);
        return true;
    };
    if (argc <= 1)
        return a;
    const QString first = QString::fromLocal8Bit(argv[1]);
    const QString lower = first.toLower();
    if (argc == 2 && lower == QLatin1String("/s"))
        return a;
    if (argc == 2 && (lower == QLatin1String("/c") || lower.startsWith(QLatin1String("/c:")))) {
        a.mode = Mode::Config;
        return a;
    }
    if (argc == 3 && (lower == QLatin1String("/p") || first == QLatin1String("--window-id") || first == QLatin1String("-window-id"))) {
        a.mode = number(argv[2], a.window) ? Mode::IntoWindow : Mode::Usage;
        return a;
    }
    if (argc == 2 && (first == QLatin1String("--root") || first == QLatin1String("-root"))) {
        a.mode = Mode::Root;
        return a;
    }
    if (argc == 2 && (first == QLatin1String("--window") || first == QLatin1String("-window"))) {
        a.mode = Mode::Window;
        return a;
    }
    a.mode = Mode::Usage;
    return a;
}

// Whether a window can be opened at all: Qt ends the process when its display
// cannot be reached, so that is asked first.
bool haveDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb"))
        return true;
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    const bool ok = c && !xcb_connection_has_error(c);
    if (c)
        xcb_disconnect(c);
    return ok;
}

QString noDisplayText()
{
    const QByteArray display = qgetenv("DISPLAY");
    return display.isEmpty() ? QStringLiteral("No display: DISPLAY is not set, and the screensaver needs an X display to show itself.")
                             : QStringLiteral("The X display %1 cannot be reached; the screensaver needs one to show itself.")
                                   .arg(QString::fromLocal8Bit(display));
}

int fail(int argc, char** argv, const QString& message)
{
    std::fprintf(stderr, "%s: %s\n", QFileInfo(QString::fromLocal8Bit(argv[0])).fileName().toLocal8Bit().constData(), message.toLocal8Bit().constData());
    if (qApp) {
        QMessageBox::critical(nullptr, QStringLiteral("Glimmer screensaver"), message);
    } else if (haveDisplay()) {
        QApplication app(argc, argv);
        QMessageBox::critical(nullptr, QStringLiteral("Glimmer screensaver"), message);
    }
    return 1;
}

int termPipe[2] = {-1, -1};
void onTerm(int)
{
    const char c = 1;
    [[maybe_unused]] ssize_t n = ::write(termPipe[1], &c, 1);
}

WId rootWindow()
{
    if (const QByteArray env = qgetenv("XSCREENSAVER_WINDOW"); !env.isEmpty()) {
        bool ok = false;
        const qulonglong id = env.trimmed().toULongLong(&ok, 0);
        if (ok)
            return WId(id);
    }
    if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
        xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(x11->connection()));
        if (it.rem)
            return WId(it.data->root);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    InitToolkit();
    const Args args = parseArgs(argc, argv);
    if (args.mode == Mode::Usage) {
        std::fprintf(stderr, "usage: %s [/s | /c[:N] | /p N | --window-id N | --root | --window]\n", argv[0]);
        return 2;
    }

    // The store lies after this program's own image in its own file.
    QFile self(QStringLiteral("/proc/self/exe"));
    if (!self.open(QIODevice::ReadOnly))
        return fail(argc, argv, QStringLiteral("The screensaver cannot read its own file."));
    const qint64 size = self.size();
    const uchar* bytes = size > 0 ? self.map(0, size) : nullptr;
    if (!bytes)
        return fail(argc, argv, QStringLiteral("The screensaver cannot read its own file."));
    TImageStore store;
    try {
        store = ReadAttachedStore(bytes, std::uint64_t(size));
    } catch (const std::exception& e) {
        return fail(argc, argv, QString::fromStdString(e.what()) + QLatin1Char('.'));
    }

    if (!haveDisplay())
        return fail(argc, argv, noDisplayText());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glimmer screensaver"));
    RegisterPictureFormats();
    const QString name = QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName();
    TStorePictureSource source(store);

    if (args.mode == Mode::Config) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Glimmer screensaver"), DescribeStore(store, name));
        box.exec();
        return 0;
    }
    if (args.mode == Mode::FullScreen) {
        RunShowWith(store.Settings, source);
        return 0;
    }

    // Drawn into a window it was given, or in a window of its own: input does
    // not end it; SIGTERM (or closing the window) does.
    if (::pipe2(termPipe, O_CLOEXEC) == 0) {
        std::signal(SIGTERM, onTerm);
        std::signal(SIGINT, onTerm);
        auto* notifier = new QSocketNotifier(termPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
            char c;
            [[maybe_unused]] ssize_t n = ::read(termPipe[0], &c, 1);
            QCoreApplication::quit();
        });
    }
    TShowOptions options;
    options.EndOnInput = false;
    options.FullScreen = false;
    TSMViewForm form(store.Settings, source, options);
    form.setWindowTitle(name);
    QObject::connect(&form, &QDialog::finished, &app, &QCoreApplication::quit);
    WId target = args.mode == Mode::IntoWindow ? args.window : args.mode == Mode::Root ? rootWindow() : 0;
    if (target) {
        QWindow* foreign = QWindow::fromWinId(target);
        if (!foreign)
            return fail(argc, argv, QStringLiteral("The window %1 cannot be drawn into.").arg(target));
        form.setAttribute(Qt::WA_NativeWindow);
        form.winId();
        form.windowHandle()->setParent(foreign);
        form.setGeometry(0, 0, foreign->width(), foreign->height());
        // Follow the window when it is resized.
        QObject::connect(foreign, &QWindow::widthChanged, &form, [&](int w) { form.resize(w, form.height()); });
        QObject::connect(foreign, &QWindow::heightChanged, &form, [&](int h) { form.resize(form.width(), h); });
    } else {
        form.resize(800, 600);
    }
    if (!CheckShowPictures(form))
        return 1;
    form.show();
    return app.exec();
}
