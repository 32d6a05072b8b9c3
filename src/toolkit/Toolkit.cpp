#include "toolkit/Toolkit.h"

#include <csignal>

void InitToolkit()
{
    std::signal(SIGXFSZ, SIG_IGN);
}
