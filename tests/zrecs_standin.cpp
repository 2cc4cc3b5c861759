// The five calls of the common services and nothing more: a component other
// than zrecs. Built as a libzrecs.so.1 that exports these five only, and into
// the program zrecs_own_test, which so defines them itself. Each call is
// handed on to the program as a line, and the program answers the pointer
// check. ZroMgrCleanUp is a clean-up name that libzroi finds among its
// dependencies' exports but must leave alone: run at unload, it ends with 3.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

extern "C" {

// The program's side.
void zrostandin_record(const char* line);
int zrostandin_answer(const void* start, unsigned int length, unsigned int mode);

static void record(const char* format, ...)
{
    char line[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    zrostandin_record(line);
}

#define ZROSTANDIN_CALL __attribute__((visibility("default"))) int

ZROSTANDIN_CALL xcsCPInitTerm_e(unsigned int action) { return record("hook %u", action), 0; }

ZROSTANDIN_CALL xtr_fnc_entryFn_e(unsigned int component, unsigned int function, unsigned int zero)
{
    return record("entry %u %u %u", component, function, zero), 0;
}

ZROSTANDIN_CALL xtr_fnc_retcodeFn_e(unsigned int component, unsigned int function, unsigned int why)
{
    return record("exit %u %u %u", component, function, why), 0;
}

ZROSTANDIN_CALL xtr_printfFn_e(unsigned int component, unsigned int function, unsigned int zero,
                               const char* text)
{
    return record("text %u %u %u %s", component, function, zero, text), 0;
}

ZROSTANDIN_CALL xcsCheckPointer_e(const void* start, unsigned int length, unsigned int mode)
{
    const int answer = zrostandin_answer(start, length, mode);
    record("check %p %u %u: %d", start, length, mode, answer);
    return answer;
}

__attribute__((visibility("default"))) void ZroMgrCleanUp() { std::_Exit(3); }

} // extern "C"
