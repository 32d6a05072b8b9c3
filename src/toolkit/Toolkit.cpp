#include "toolkit/Toolkit.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <csignal>

namespace {
// Without a window manager nobody hands the keyboard back when a window
// closes: the X focus falls to the root window and keys go nowhere. Do what a
// window manager (and Windows) does: activate the window the user returns to,
// the modal dialog still open or else the main window.
class FocusKeeper : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Hide && o->isWidgetType() && static_cast<QWidget*>(o)->isWindow())
            QTimer::singleShot(0, this, &FocusKeeper::activateRemaining);
        return false;
    }

private:
    static void activateRemaining()
    {
        if (QWidget* active = QApplication::activeWindow(); active && active->isVisible())
            return;
        QWidget* next = QApplication::activeModalWidget();
        if (!next) {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w->isVisible() && w->windowType() == Qt::Window) {
                    next = w;
                    break;
                }
            }
        }
        if (next)
            next->activateWindow();
    }
};
} // namespace

void InitToolkit()
{
    std::signal(SIGXFSZ, SIG_IGN);
    // The command line runs without a GUI application: nothing to keep there.
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    if (gui && QGuiApplication::platformName() == QLatin1String("xcb")) {
        static FocusKeeper* keeper = nullptr;
        if (!keeper) {
            keeper = new FocusKeeper(gui);
            gui->installEventFilter(keeper);
        }
    }
}
