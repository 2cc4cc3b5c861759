// A small shared object for zrolife_dlopen. It links libzroi, so that the
// program, which does not, can have a string copied out (which creates the
// string subsystem's shared lock) inside a libzroi that it loaded itself.
#include "zroi/zrostr.hpp"

extern "C" __attribute__((visibility("default"))) int zrolife_copy_out(char* field, unsigned length)
{
    ZroStr text("life");
    return text.copyOut(field, length, ' ');
}
