#include "app/Startup.h"

#include "app/MainWindow.h"
#include "picture/Registration.h"
#include "toolkit/Help.h"
#include "toolkit/Toolkit.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>

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
} // namespace

int runGlimmer(int argc, char** argv)
{
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
