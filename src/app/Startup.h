#pragma once
int runGlimmer(int argc, char** argv);
