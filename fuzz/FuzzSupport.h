#pragma once
// What every fuzz target needs once: a headless Qt application (pictures,
// cursors and windows need one), the toolkit, the picture formats, and
// message boxes answered without a screen.
#include <QString>
#include <cstddef>
#include <cstdint>

void FuzzInit(int* argc, char*** argv);

// Messages shown since the last call.
int TakeMessageCount();

// Stops the run with a message when an expectation fails: libFuzzer keeps the
// input that did it.
#define FUZZ_CHECK(cond)                                                                 \
    do {                                                                                 \
        if (!(cond))                                                                     \
            FuzzFailed(#cond, __FILE__, __LINE__);                                       \
    } while (0)
[[noreturn]] void FuzzFailed(const char* what, const char* file, int line);
