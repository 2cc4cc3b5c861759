// The shared test fixture: records every zrecs event and refuses chosen storage.
#ifndef ZROI_TESTS_ZROTEST_HPP
#define ZROI_TESTS_ZROTEST_HPP

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "zrecs/zrecs.h"
#include "zroi/zroerr.hpp"
#include "zroi/zrostr.hpp"

/// An object's codes as "completion/reason".
inline std::string codesText(const ZroErr& e)
{
    return std::to_string(e.completionCode()) + "/" + std::to_string(e.reasonCode());
}

/// "ABC...XYZABC..." to `n` characters: a text without NULs or blanks.
inline std::string letters(std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += static_cast<char>('A' + i % 26);
    return s;
}

/// A string's text, or "" without storage.
inline std::string textOf(const ZroStr& s)
{
    return s.dataPointer() != nullptr ? s.dataPointer() : "";
}

/// An anonymous private mapping of `length` bytes (nullptr when refused),
/// unmapped when it goes with whatever was mapped over it. With
/// MAP_NORESERVE in `flags`, up to 4 GiB cost nothing but the pages touched.
struct Unmap {
    std::size_t length;
    void operator()(char* start) const { munmap(start, length); }
};
inline std::unique_ptr<char, Unmap> mapAnonymous(std::size_t length, int protection, int flags = 0)
{
    void* start = mmap(nullptr, length, protection, MAP_PRIVATE | MAP_ANONYMOUS | flags, -1, 0);
    return {start != MAP_FAILED ? static_cast<char*>(start) : nullptr, Unmap{length}};
}

/// Runs the disabled test `name` ("Suite.DISABLED_Test") of this program in
/// a child process, with `environment` ("NAME='value' ...") set and its
/// output into `errors` (or nowhere): the child's exit status, as
/// std::system gives it (0 when the test passed).
int runChild(const std::string& name, const std::string& environment = "",
             const std::string& errors = "/dev/null");

struct TraceEvent {
    zrecs_kind kind;
    unsigned component;
    unsigned function;
    unsigned value;
    std::string text;
    const void* start;
    unsigned length;
    int result;
};

// Every test of the library derives from ZroTest. While a test runs:
// - every zrecs call is recorded in events() (thread-safe);
// - pointer checks answer as the default check does, except for ranges
//   passed to refuse(), which are refused when the checked range overlaps;
// - allocation failure can be planned with failAllocation(), for the calling
//   thread.
class ZroTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// Refuses checks in `mode` (1 read, 2 write, 0 both) that overlap
    /// `length` bytes at `start`; with a null `start`, every check in `mode`.
    void refuse(const void* start, unsigned length, unsigned mode = 0);
    void allowAll();

    /// The `nth` allocation from now fails (and every later one if persistent).
    static void failAllocation(unsigned long nth, bool persistent = false);

    std::vector<TraceEvent> events() const;
    void clearEvents();
    /// The texts written, in order.
    std::vector<std::string> texts() const;
    /// The function numbers of the texts written, in order.
    std::vector<unsigned> textFunctions() const;
    /// Entry and exit records as "entry 4" / "exit 4 6114", in order.
    std::vector<std::string> records() const;

    /// Expects exactly one text since the last clearEvents(): `text` under `function`.
    void expectOnlyText(unsigned function, const std::string& text) const;
    /// Expects no text since the last clearEvents().
    void expectNoText() const;
    /// Expects the frame of `function`: hook 4, entry, ..., exit with `reason`,
    /// as the first and last records since the last clearEvents().
    void expectFrame(unsigned function, unsigned reason) const;
    /// Removes the listener and the pointer check. True when nothing else
    /// observes the library (no ZRECS_TRACE file), so the untraced path runs.
    static bool unobserved();
    /// Expects the codes of `object`.
    static void expectCodes(const ZroErr& object, int32_t completion, int32_t reason);

private:
    static void listen(const zrecs_event* event, void* context);
    static int check(const void* start, unsigned length, unsigned mode, void* context);

    struct Refused {
        const char* start;
        unsigned length;
        unsigned mode;
    };
    mutable std::mutex mutex_;
    std::vector<TraceEvent> events_;
    std::vector<Refused> refused_;
};

/// A header of the application's own that names the data behind it its own
/// way ("APPFMT"), or (not `named`) by no name at all: the library must ask
/// it for the format.
template <class H, bool named = true> class Renaming : public H {
public:
    ZroStr format() const override { return named ? ZroStr("APPFMT") : ZroStr(); }
};

#endif // ZROI_TESTS_ZROTEST_HPP
