#pragma once
// FUZZ_CHECK for the targets without Qt: stops the run with a message when an
// expectation fails, and libFuzzer keeps the input that did it.
#include <cstdio>
#include <cstdlib>

#define PLAIN_CHECK(cond)                                                                       \
    do {                                                                                        \
        if (!(cond)) {                                                                          \
            std::fprintf(stderr, "%s:%d: expectation failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                       \
        }                                                                                       \
    } while (0)
