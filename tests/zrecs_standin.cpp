// The five calls of the common services and nothing more: a component other
// than zrecs, for the tests that libzroi works with whoever answers them.
//
// Built as a shared library named as zrecs (libzrecs.so.1) that exports these
// five only, and into the program zrecs_own_test, which so defines them
// itself. Each call is handed on to the program as one line of text, and the
// pointer check gives the program's answer.
#include <cstdio>

extern "C" {

// The program's side.
void zrostandin_record(const char* line);
int zrostandin_answer(const void* start, unsigned int length, unsigned int mode);

#define ZROSTANDIN_CALL __attribute__((visibility("default")))

ZROSTANDIN_CALL int xcsCPInitTerm_e(unsigned int action)
{
    char line[32];
    std::snprintf(line, sizeof line, "hook %u", action);
    zrostandin_record(line);
    return 0;
}

ZROSTANDIN_CALL int xtr_fnc_entryFn_e(unsigned int component, unsigned int function,
                                      unsigned int zero)
{
    char line[64];
    std::snprintf(line, sizeof line, "entry %u %u %u", component, function, zero);
    zrostandin_record(line);
    return 0;
}

ZROSTANDIN_CALL int xtr_fnc_retcodeFn_e(unsigned int component, unsigned int function,
                                        unsigned int reason)
{
    char line[64];
    std::snprintf(line, sizeof line, "exit %u %u %u", component, function, reason);
    zrostandin_record(line);
    return 0;
}

ZROSTANDIN_CALL int xtr_printfFn_e(unsigned int component, unsigned int function, unsigned int zero,
                                   const char* text)
{
    char line[256];
    std::snprintf(line, sizeof line, "text %u %u %u %s", component, function, zero, text);
    zrostandin_record(line);
    return 0;
}

ZROSTANDIN_CALL int xcsCheckPointer_e(const void* start, unsigned int length, unsigned int mode)
{
    const int answer = zrostandin_answer(start, length, mode);
    char line[96];
    std::snprintf(line, sizeof line, "check %p %u %u: %d", start, length, mode, answer);
    zrostandin_record(line);
    return answer;
}

} // extern "C"
