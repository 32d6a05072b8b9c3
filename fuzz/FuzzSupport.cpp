#include "FuzzSupport.h"

#include "picture/Registration.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Toolkit.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

namespace {
int messages = 0;
}

void FuzzInit(int* argc, char*** argv)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt keeps the references for the application's whole life.
    static int qtArgc = 1;
    static char* qtArgv[] = {(argc && *argc > 0) ? (*argv)[0] : const_cast<char*>("fuzz"), nullptr};
    new QApplication(qtArgc, qtArgv);
    InitToolkit();
    registerPictureFormats();
    SetMessageHook([](const TMessage& m) {
        ++messages;
        return m.Kind == TMsgKind::Confirm ? TMsgResult::No : TMsgResult::OK;
    });
}

int TakeMessageCount()
{
    const int n = messages;
    messages = 0;
    return n;
}

void FuzzFailed(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: expectation failed: %s\n", file, line, what);
    std::abort();
}
