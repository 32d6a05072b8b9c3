#include "app/Startup.h"

#include "app/SSMenuF.h"
#include "picture/Registration.h"
#include "toolkit/Help.h"
#include "toolkit/Toolkit.h"

#include <QApplication>
#include <QScreen>

int RunGlimmer(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Glimmer"));
    InitToolkit();
    RegisterPictureFormats();
    InstallHelpKey();
    TSSMenuForm menu;
    // Without a window manager "maximised" means nothing: take the screen's
    // working area ourselves.
    if (QScreen* s = QGuiApplication::primaryScreen())
        menu.setGeometry(s->availableGeometry());
    menu.showMaximized();
    menu.activateWindow();
    return app.exec();
}
