#include "app/Startup.h"

#include "app/MainWindow.h"
#include "picture/Registration.h"
#include "text/PrintableText.h"
#include "toolkit/Help.h"
#include "toolkit/Toolkit.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>

#include <cstdlib>
#include <cstring>

namespace {
// GLIMMER_QUIT_AFTER_SHOW=1 ends the program once the main window has first
// been painted: the start-up benchmark times a whole start that way.
class QuitAfterFirstPaint : public QObject {
protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint) {
            o->removeEventFilter(this);
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        }
        return false;
    }
};

// Whether Qt has a display to open the window on: one set in the
// environment, or a platform or display given as an option. Without one,
// Qt ends the program with an abort and a core dump.
bool displayGiven(int argc, char** argv)
{
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* value = std::getenv(name); value && *value)
            return true;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i] + (std::strncmp(argv[i], "--", 2) == 0 ? 1 : 0);
        if (std::strcmp(a, "-platform") == 0 || std::strcmp(a, "-display") == 0)
            return true;
    }
    return false;
}
} // namespace

int runGlimmer(int argc, char** argv)
{
    if (!displayGiven(argc, argv)) {
        printLines(stderr, "Glimmer needs a display for its window, and none is set (DISPLAY and WAYLAND_DISPLAY are empty). "
                           "Start it in a desktop session, or compile a project without a window: "
                           "glimmer --compile PATH/NAME.SSJ");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glimmer"));
    InitToolkit();
    registerPictureFormats();
    InstallHelpKey();
    TSSMenuForm menu;
    // The window covers the working area itself, at a fixed size: a window
    // manager asked to maximise a window of fixed border may move it off the
    // screen to hide a title bar it cannot hide.
    menu.fitToWorkArea();
    if (QScreen* s = menu.screen())
        QObject::connect(s, &QScreen::availableGeometryChanged, &menu, &TSSMenuForm::fitToWorkArea);
    QuitAfterFirstPaint quitAfterPaint;
    if (qEnvironmentVariableIntValue("GLIMMER_QUIT_AFTER_SHOW") == 1)
        menu.installEventFilter(&quitAfterPaint);
    menu.show();
    menu.activateWindow();
    return app.exec();
}
