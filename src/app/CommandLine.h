#pragma once
// The program without its window, for scripts: `glimmer --compile
// PATH/NAME.SSJ` (or --compile=PATH/NAME.SSJ) compiles that project exactly
// as the Compile command does (the same checks, files and lock), needing no
// display; --help and --version need none either.

// True when the arguments ask for the command line rather than the window.
bool isCommandLine(int argc, char** argv);
// Runs it: 0 when NAME.SCR was written (its path on standard output) or the
// help or version was printed, 1 when the compile failed or the path could
// not be printed (the program's message on standard error), 2 when the
// arguments are wrong, 3 when NAME.SCR was written but the Windows
// screensaver was not.
int runCommandLine(int argc, char** argv);
