#include "decode/JpegErrors.h"

namespace {
JpegErrorManager* managerOf(j_common_ptr cinfo) { return reinterpret_cast<JpegErrorManager*>(cinfo->err); }

void outputMessage(j_common_ptr cinfo)
{
    JpegErrorManager* err = managerOf(cinfo);
    (*err->pub.format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

void errorExit(j_common_ptr cinfo) { (*cinfo->err->output_message)(cinfo); }
} // namespace

void useJpegErrorManager(j_common_ptr cinfo, JpegErrorManager& err)
{
    jpeg_std_error(&err.pub);
    err.pub.error_exit = errorExit;
    err.pub.output_message = outputMessage;
    err.message[0] = '\0';
    cinfo->err = &err.pub;
}

void leaveJpeg(j_common_ptr cinfo, const char* message)
{
    JpegErrorManager* err = managerOf(cinfo);
    std::snprintf(err->message, sizeof err->message, "%s", message);
    std::longjmp(err->jump, 1);
}
