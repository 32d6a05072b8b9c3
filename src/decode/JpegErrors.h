#pragma once
// The one libjpeg error manager, for decoding and for encoding. libjpeg
// reports fatal errors by calling back into us and expects never to be
// returned to; we leave it with longjmp. C++ allows that only when no object
// with a destructor is jumped over, so everything that runs between a setjmp
// on `jump` and the library is plain C-style code on plain structs, and every
// C++ object lives in the caller's frame, outside the jump. Every message
// that reaches the output ends the work: fatal errors (through error_exit)
// and the first warning (through the library's own emit_message, which
// outputs the first warning and counts later ones).
#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX + 64];   // the library's text, or ours
};

// Sets `err` up as the error manager of `cinfo` (before its create call).
void useJpegErrorManager(j_common_ptr cinfo, JpegErrorManager& err);

// Leaves the library through `jump` with `message` as the text, for a reason
// of our own (a stream that failed, a decode cancelled).
[[noreturn]] void leaveJpeg(j_common_ptr cinfo, const char* message);
