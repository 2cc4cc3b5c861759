// A small shared object for zrolife_dlopen. It links libzroi, so that the
// program, which does not, can have a string copied out (which creates the
// string subsystem's shared lock) inside a libzroi that it loaded itself.
#include "zroi/zrostr.hpp"

// "life" into `length` bytes; the string's codes afterwards, which copyOut
// takes from the string subsystem's shared copy codes.
extern "C" __attribute__((visibility("default"))) int zrolife_copy_out(char* field, unsigned length,
                                                                       int* completion, int* reason)
{
    ZroStr text("life");
    const int result = text.copyOut(field, length, ' ');
    *completion = text.completionCode();
    *reason = text.reasonCode();
    return result;
}
