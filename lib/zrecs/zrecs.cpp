// zrecs: listener, pointer checks and the ZRECS_TRACE file behind the five calls.
#include "zrecs/zrecs.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

extern "C" {
ZRECS_API int zrecs_state = 0;
}

namespace {

// The listener and the check are read under a shared lock so that clearing
// one waits for calls in progress; the lock is taken only off the fast path.
pthread_rwlock_t g_lock = PTHREAD_RWLOCK_INITIALIZER;
zrecs_listener g_listener = nullptr;
void *g_listener_context = nullptr;
zrecs_pointer_check g_check = nullptr;
void *g_check_context = nullptr;

pthread_mutex_t g_file_lock = PTHREAD_MUTEX_INITIALIZER;
FILE *g_trace_file = nullptr;
bool g_trace_file_owned = false;

void publish_state()
{
    int state = 0;
    if (g_listener != nullptr || g_trace_file != nullptr) state |= ZRECS_STATE_OBSERVED;
    if (g_check != nullptr) state |= ZRECS_STATE_CUSTOM_CHECK;
    // ZRECS_STATE_ELSEWHERE is a caller's finding, set at any time: kept.
    int old = __atomic_load_n(&zrecs_state, __ATOMIC_RELAXED);
    while (!__atomic_compare_exchange_n(&zrecs_state, &old, state | (old & ZRECS_STATE_ELSEWHERE),
                                        true, __ATOMIC_RELEASE, __ATOMIC_RELAXED)) {}
}

const char *kind_name(zrecs_kind kind)
{
    switch (kind) {
    case ZRECS_HOOK: return "hook";
    case ZRECS_ENTRY: return "entry";
    case ZRECS_EXIT: return "exit";
    case ZRECS_TEXT: return "text";
    case ZRECS_CHECK: return "check";
    }
    return "?";
}

void write_trace_line(const zrecs_event &e)
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    struct tm parts;
    gmtime_r(&now.tv_sec, &parts);
    char stamp[32];
    strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &parts);
    long thread = static_cast<long>(syscall(SYS_gettid));

    pthread_mutex_lock(&g_file_lock);
    if (g_trace_file != nullptr) {
        std::fprintf(g_trace_file, "%s.%06ldZ tid=%ld comp=%u func=%u %-5s ", stamp,
                     static_cast<long>(now.tv_nsec / 1000), thread, e.component, e.function,
                     kind_name(e.kind));
        switch (e.kind) {
        case ZRECS_TEXT: std::fprintf(g_trace_file, "%s\n", e.text); break;
        case ZRECS_CHECK:
            std::fprintf(g_trace_file, "%p+%u mode=%u -> %d\n", e.start, e.length, e.value,
                         e.result);
            break;
        default: std::fprintf(g_trace_file, "%u\n", e.value); break;
        }
        std::fflush(g_trace_file);
    }
    pthread_mutex_unlock(&g_file_lock);
}

void report(const zrecs_event &e)
{
    if (g_trace_file != nullptr) write_trace_line(e);
    pthread_rwlock_rdlock(&g_lock);
    zrecs_listener listener = g_listener;
    void *context = g_listener_context;
    if (listener != nullptr) listener(&e, context);
    pthread_rwlock_unlock(&g_lock);
}

zrecs_event make_event(zrecs_kind kind)
{
    zrecs_event e;
    std::memset(&e, 0, sizeof e);
    e.kind = kind;
    return e;
}

// Finds whether [start, start+length) lies in mappings that allow `mode`,
// reading /proc/self/maps line by line without allocating.
bool mapped_with_access(uintptr_t start, uintptr_t end, unsigned int mode)
{
    int fd = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[4096];
    size_t used = 0;
    uintptr_t covered = start; // everything below `covered` has been found accessible
    bool done = false;
    for (;;) {
        ssize_t got = read(fd, buffer + used, sizeof buffer - used);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        used += static_cast<size_t>(got);
        size_t line_start = 0;
        for (size_t i = 0; i < used; ++i) {
            if (buffer[i] != '\n') continue;
            buffer[i] = '\0';
            const char *line = buffer + line_start;
            line_start = i + 1;
            uintmax_t low = 0, high = 0;
            char perms[5] = {0};
            if (std::sscanf(line, "%jx-%jx %4s", &low, &high, perms) != 3) continue;
            bool allowed = (mode == 2) ? perms[1] == 'w' : perms[0] == 'r';
            if (low <= covered && covered < high) {
                if (!allowed) {
                    close(fd);
                    return false;
                }
                covered = static_cast<uintptr_t>(high);
                if (covered >= end) {
                    done = true;
                    break;
                }
            }
        }
        if (done) break;
        std::memmove(buffer, buffer + line_start, used - line_start);
        used -= line_start;
        if (used == sizeof buffer) used = 0; // a line longer than the buffer: skip it
    }
    close(fd);
    return done;
}

// Opens the ZRECS_TRACE file when the library is loaded.
struct TraceFileSetup {
    TraceFileSetup()
    {
        const char *name = std::getenv("ZRECS_TRACE");
        if (name == nullptr || *name == '\0') return;
        if (std::strcmp(name, "-") == 0) {
            g_trace_file = stderr;
        } else {
            g_trace_file = std::fopen(name, "a");
            g_trace_file_owned = g_trace_file != nullptr;
        }
        publish_state();
    }
    ~TraceFileSetup()
    {
        pthread_mutex_lock(&g_file_lock);
        if (g_trace_file_owned) std::fclose(g_trace_file);
        g_trace_file = nullptr;
        pthread_mutex_unlock(&g_file_lock);
        publish_state();
    }
} g_trace_file_setup;

} // namespace

extern "C" {

int xcsCPInitTerm_e(unsigned int action)
{
    if (__atomic_load_n(&zrecs_state, __ATOMIC_ACQUIRE) & ZRECS_STATE_OBSERVED) {
        zrecs_event e = make_event(ZRECS_HOOK);
        e.value = action;
        report(e);
    }
    return 0;
}

int xtr_fnc_entryFn_e(unsigned int component, unsigned int function, unsigned int zero)
{
    if (__atomic_load_n(&zrecs_state, __ATOMIC_ACQUIRE) & ZRECS_STATE_OBSERVED) {
        zrecs_event e = make_event(ZRECS_ENTRY);
        e.component = component;
        e.function = function;
        e.value = zero;
        report(e);
    }
    return 0;
}

int xtr_fnc_retcodeFn_e(unsigned int component, unsigned int function, unsigned int reason)
{
    if (__atomic_load_n(&zrecs_state, __ATOMIC_ACQUIRE) & ZRECS_STATE_OBSERVED) {
        zrecs_event e = make_event(ZRECS_EXIT);
        e.component = component;
        e.function = function;
        e.value = reason;
        report(e);
    }
    return 0;
}

int xtr_printfFn_e(unsigned int component, unsigned int function, unsigned int zero,
                   const char *text)
{
    if (__atomic_load_n(&zrecs_state, __ATOMIC_ACQUIRE) & ZRECS_STATE_OBSERVED) {
        zrecs_event e = make_event(ZRECS_TEXT);
        e.component = component;
        e.function = function;
        e.value = zero;
        e.text = text != nullptr ? text : "";
        report(e);
    }
    return 0;
}

int xcsCheckPointer_e(const void *start, unsigned int length, unsigned int mode)
{
    int state = __atomic_load_n(&zrecs_state, __ATOMIC_ACQUIRE);
    int result;
    if (state & ZRECS_STATE_CUSTOM_CHECK) {
        pthread_rwlock_rdlock(&g_lock);
        zrecs_pointer_check check = g_check;
        void *context = g_check_context;
        result = check != nullptr ? check(start, length, mode, context)
                                  : zrecs_default_answer(start, length);
        pthread_rwlock_unlock(&g_lock);
    } else {
        result = zrecs_default_answer(start, length);
    }
    if (state & ZRECS_STATE_OBSERVED) {
        zrecs_event e = make_event(ZRECS_CHECK);
        e.value = mode;
        e.start = start;
        e.length = length;
        e.result = result;
        report(e);
    }
    return result;
}

void zrecs_set_listener(zrecs_listener listener, void *context)
{
    pthread_rwlock_wrlock(&g_lock);
    g_listener = listener;
    g_listener_context = context;
    publish_state();
    pthread_rwlock_unlock(&g_lock);
}

void zrecs_set_pointer_check(zrecs_pointer_check check, void *context)
{
    pthread_rwlock_wrlock(&g_lock);
    g_check = check;
    g_check_context = context;
    publish_state();
    pthread_rwlock_unlock(&g_lock);
}

int zrecs_default_pointer_check(const void *start, unsigned int length, unsigned int, void *)
{
    return zrecs_default_answer(start, length);
}

int zrecs_strict_pointer_check(const void *start, unsigned int length, unsigned int mode, void *)
{
    if (zrecs_default_answer(start, length) != 0) return 1;
    if (length == 0) return 0;
    uintptr_t low = reinterpret_cast<uintptr_t>(start);
    return mapped_with_access(low, low + length, mode) ? 0 : 1;
}

} // extern "C"
