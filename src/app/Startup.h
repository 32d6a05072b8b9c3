#pragma once
int RunGlimmer(int argc, char** argv);
