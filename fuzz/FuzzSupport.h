#pragma once
// What every fuzz target needs once: a headless Qt application (pictures,
// cursors and windows need one), the toolkit, the picture formats, and
// message boxes answered without a screen.
#include "toolkit/Graphics.h"

#include <QImage>
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

// Loads the stream into `bitmap`. A failed load must leave the bitmap as it
// was; a good one gives 32-bit pixels. Returns whether it loaded.
inline bool LoadChecked(TBitmap& bitmap, TStream& stream)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    const std::uint64_t generation = bitmap.Generation();
    try {
        bitmap.LoadFromStream(stream);
    } catch (const EGlimmerError&) {
        FUZZ_CHECK(bitmap.Width() == w && bitmap.Height() == h && bitmap.Generation() == generation);
        return false;
    }
    FUZZ_CHECK(!bitmap.Empty());
    FUZZ_CHECK(bitmap.Image().format() == QImage::Format_RGB32);
    return true;
}
