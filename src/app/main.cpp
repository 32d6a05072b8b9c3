#include "app/CommandLine.h"
#include "app/Startup.h"

int main(int argc, char** argv)
{
    if (IsCommandLine(argc, argv))
        return RunCommandLine(argc, argv);
    return RunGlimmer(argc, argv);
}
