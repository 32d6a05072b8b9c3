#include "app/Startup.h"

#include "picture/Registration.h"
#include "toolkit/Toolkit.h"

#include <QApplication>

int RunGlimmer(int argc, char** argv)
{
    QApplication app(argc, argv);
    InitToolkit();
    RegisterPictureFormats();
    return 0;
}
