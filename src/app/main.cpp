#include "app/CommandLine.h"
#include "app/Startup.h"

int main(int argc, char** argv)
{
    if (isCommandLine(argc, argv))
        return runCommandLine(argc, argv);
    return runGlimmer(argc, argv);
}
