/* zrecs: the common services that zroi traces through and asks about storage.
 *
 * Five calls make up the service (hook, entry record, exit record, trace
 * text, pointer check). By default they cost a relaxed atomic load and a
 * branch each: nothing is recorded and the pointer check refuses only a null
 * start with a length and a range that wraps. An application (or a test)
 * observes the calls by installing a listener, and decides about storage by
 * installing a pointer check:
 *
 *     static void show(const zrecs_event *e, void *ctx) {
 *         if (e->kind == ZRECS_TEXT) fprintf(stderr, "%s\n", e->text);
 *     }
 *     zrecs_set_listener(show, NULL);
 *     zrecs_set_pointer_check(zrecs_strict_pointer_check, NULL);
 *
 * When the environment variable ZRECS_TRACE names a file (or "-" for
 * standard error) at load, every call is written there as one line.
 */
#ifndef ZRECS_ZRECS_H
#define ZRECS_ZRECS_H

#if defined(ZRECS_BUILDING)
#define ZRECS_API __attribute__((visibility("default")))
#else
#define ZRECS_API
#endif

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The five calls. Each reports one event to the listener, when one is set. */

/* Per-call hook: 4 before every entry record, 1 before every text and check. */
ZRECS_API int xcsCPInitTerm_e(unsigned int action);
/* Entry record of a traced operation. */
ZRECS_API int xtr_fnc_entryFn_e(unsigned int component, unsigned int function, unsigned int zero);
/* Exit record of a traced operation, with the reason code of its object. */
ZRECS_API int xtr_fnc_retcodeFn_e(unsigned int component, unsigned int function,
                                  unsigned int reason);
/* One complete diagnostic line; the text carries no formatting arguments. */
ZRECS_API int xtr_printfFn_e(unsigned int component, unsigned int function, unsigned int zero,
                             const char *text);
/* 0 when `length` bytes at `start` may be accessed in `mode` (1 read, 2 write). */
ZRECS_API int xcsCheckPointer_e(const void *start, unsigned int length, unsigned int mode);

/* Observation and control. */

typedef enum { ZRECS_HOOK = 1, ZRECS_ENTRY, ZRECS_EXIT, ZRECS_TEXT, ZRECS_CHECK } zrecs_kind;

typedef struct zrecs_event {
    zrecs_kind kind;
    unsigned int component; /* ENTRY, EXIT, TEXT */
    unsigned int function;  /* ENTRY, EXIT, TEXT */
    /* HOOK: its argument (4 or 1); EXIT: reason code; CHECK: mode (1 read, 2 write) */
    unsigned int value;
    const char *text;    /* TEXT: the text, valid during the call only; otherwise NULL */
    const void *start;   /* CHECK: start of the storage */
    unsigned int length; /* CHECK: length in bytes */
    int result;          /* CHECK: the answer given (0 accessible) */
} zrecs_event;

typedef void (*zrecs_listener)(const zrecs_event *event, void *context);
/* Installs `listener` (NULL: none). When the call returns, no call of the
 * previous listener is running any more, so its context may be released.
 * A listener must not install another listener or check from inside. */
ZRECS_API void zrecs_set_listener(zrecs_listener listener, void *context);

typedef int (*zrecs_pointer_check)(const void *start, unsigned int length, unsigned int mode,
                                   void *context); /* 0 = accessible */
/* Installs `check` (NULL: the default). Same guarantee as zrecs_set_listener. */
ZRECS_API void zrecs_set_pointer_check(zrecs_pointer_check check, void *context);
/* Refuses a null start with a non-zero length and a range that wraps. */
ZRECS_API int zrecs_default_pointer_check(const void *start, unsigned int length, unsigned int mode,
                                          void *context);
/* The default check, and storage not mapped with the access the mode asks for. */
ZRECS_API int zrecs_strict_pointer_check(const void *start, unsigned int length, unsigned int mode,
                                         void *context);

/* Inline fast paths.
 *
 * zrecs_state holds ZRECS_STATE_OBSERVED while a listener or a trace file is
 * active and ZRECS_STATE_CUSTOM_CHECK while a pointer check is installed.
 * While it is 0 the calls below do their work inline; otherwise they call
 * the exported functions above. zroi uses these; other callers may use
 * either form.
 *
 * The inline work is what this library's five calls would do, so it stands
 * for them only while they are the ones the process calls. A caller that
 * finds another component answering any of the five (a program or library
 * that defines them, found first) sets ZRECS_STATE_ELSEWHERE, which nothing
 * clears: every call then goes out, to whoever answers it. Outside this
 * library zrecs_state is a weak reference, so that a caller also loads with
 * a component that provides the five calls only; without it every call goes
 * out as well. */
#define ZRECS_STATE_OBSERVED 1
#define ZRECS_STATE_CUSTOM_CHECK 2
#define ZRECS_STATE_ELSEWHERE 4
#if defined(ZRECS_BUILDING)
ZRECS_API extern int zrecs_state;
#define ZRECS_STATE_PRESENT 1
#else
extern int zrecs_state __attribute__((weak));
#define ZRECS_STATE_PRESENT (&zrecs_state != 0)
#endif

static inline int zrecs_quiet(void)
{
    return __builtin_expect(
        ZRECS_STATE_PRESENT && __atomic_load_n(&zrecs_state, __ATOMIC_RELAXED) == 0, 1);
}

static inline int zrecs_default_answer(const void *start, unsigned int length)
{
    uintptr_t address = (uintptr_t)start;
    if (length == 0) return 0;
    return (start == 0 || address + length - 1 < address) ? 1 : 0;
}

static inline void zrecs_hook(unsigned int action)
{
    if (!zrecs_quiet()) xcsCPInitTerm_e(action);
}

static inline void zrecs_entry(unsigned int component, unsigned int function)
{
    if (!zrecs_quiet()) xtr_fnc_entryFn_e(component, function, 0);
}

static inline void zrecs_exit(unsigned int component, unsigned int function, unsigned int reason)
{
    if (!zrecs_quiet()) xtr_fnc_retcodeFn_e(component, function, reason);
}

static inline int zrecs_check(const void *start, unsigned int length, unsigned int mode)
{
    if (zrecs_quiet()) return zrecs_default_answer(start, length);
    return xcsCheckPointer_e(start, length, mode);
}

#ifdef __cplusplus
}
#endif

#endif /* ZRECS_ZRECS_H */
