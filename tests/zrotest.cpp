#include "zrotest.hpp"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <new>
#include <tuple>

#include "zroalloc.hpp"
#include "zronew.hpp"

void ZroTest::SetUp()
{
    zrecs_set_listener(&ZroTest::listen, this);
    zrecs_set_pointer_check(&ZroTest::check, this);
}

void ZroTest::TearDown()
{
    zroi_test_fail_allocation(0, 0);
    zrecs_set_listener(nullptr, nullptr);
    zrecs_set_pointer_check(nullptr, nullptr);
}

void ZroTest::refuse(const void* start, unsigned length, unsigned mode)
{
    std::lock_guard<std::mutex> lock(mutex_);
    refused_.push_back({static_cast<const char*>(start), length, mode});
}

void ZroTest::allowAll()
{
    std::lock_guard<std::mutex> lock(mutex_);
    refused_.clear();
}

void ZroTest::failAllocation(unsigned long nth, bool persistent)
{
    zroi_test_fail_allocation(nth, persistent ? 1 : 0);
}

std::vector<TraceEvent> ZroTest::events() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

void ZroTest::clearEvents()
{
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
}

std::vector<std::string> ZroTest::texts() const
{
    std::vector<std::string> out;
    for (const TraceEvent& e : events())
        if (e.kind == ZRECS_TEXT) out.push_back(e.text);
    return out;
}

std::vector<unsigned> ZroTest::textFunctions() const
{
    std::vector<unsigned> out;
    for (const TraceEvent& e : events())
        if (e.kind == ZRECS_TEXT) out.push_back(e.function);
    return out;
}

std::vector<std::string> ZroTest::records() const
{
    std::vector<std::string> out;
    for (const TraceEvent& e : events()) {
        const std::string f = std::to_string(e.function);
        if (e.kind == ZRECS_ENTRY) out.push_back("entry " + f);
        if (e.kind == ZRECS_EXIT) out.push_back("exit " + f + " " + std::to_string(e.value));
    }
    return out;
}

void ZroTest::expectOnlyText(unsigned function, const std::string& text) const
{
    // Exactly one text, announced by the hook with 1 immediately before it.
    const std::vector<TraceEvent> all = events();
    std::size_t count = 0, at = 0;
    for (std::size_t i = 0; i < all.size(); ++i)
        if (all[i].kind == ZRECS_TEXT) ++count, at = i;
    ASSERT_EQ(count, 1u) << "expected one text: " << text;
    EXPECT_EQ(std::make_tuple(all[at].component, all[at].function, all[at].text),
              std::make_tuple(31u, function, text));
    EXPECT_TRUE(at > 0 && all[at - 1].kind == ZRECS_HOOK && all[at - 1].value == 1u);
}

void ZroTest::expectNoText() const
{
    EXPECT_TRUE(texts().empty()) << "unexpected text: " << texts().front();
}

void ZroTest::expectFrame(unsigned function, unsigned reason) const
{
    const std::vector<TraceEvent> all = events();
    ASSERT_GE(all.size(), 3u);
    auto frame = [](const TraceEvent& e) {
        return std::make_tuple(e.kind, e.component, e.function, e.value);
    };
    EXPECT_EQ(frame(all[0]), std::make_tuple(ZRECS_HOOK, 0u, 0u, 4u));
    EXPECT_EQ(frame(all[1]), std::make_tuple(ZRECS_ENTRY, 31u, function, 0u));
    EXPECT_EQ(frame(all.back()), std::make_tuple(ZRECS_EXIT, 31u, function, reason));
}

void ZroTest::expectCodes(const ZroErr& object, int32_t completion, int32_t reason)
{
    EXPECT_EQ(object.completionCode(), completion);
    EXPECT_EQ(object.reasonCode(), reason);
}

void ZroTest::listen(const zrecs_event* event, void* context)
{
    ZroTest* self = static_cast<ZroTest*>(context);
    const char* text = event->text != nullptr ? event->text : "";
    std::lock_guard<std::mutex> lock(self->mutex_);
    self->events_.push_back({event->kind, event->component, event->function, event->value, text,
                             event->start, event->length, event->result});
}

int ZroTest::check(const void* start, unsigned length, unsigned mode, void* context)
{
    ZroTest* self = static_cast<ZroTest*>(context);
    if (zrecs_default_pointer_check(start, length, mode, nullptr) != 0) return 1;
    const char* begin = static_cast<const char*>(start);
    std::lock_guard<std::mutex> lock(self->mutex_);
    for (const Refused& r : self->refused_) {
        if (r.mode != 0 && r.mode != mode) continue;
        if (r.start == nullptr) return 1;
        bool overlaps = begin < r.start + r.length && r.start < begin + length;
        if (overlaps) return 1;
    }
    return 0;
}

int runChild(const std::string& name, const std::string& environment, const std::string& errors)
{
    char self[PATH_MAX] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0) return -1;
    const std::string command = environment + " '" + self + "' --gtest_filter=" + name +
                                " --gtest_also_run_disabled_tests >/dev/null 2>'" + errors + "'";
    return std::system(command.c_str());
}

// ---- operator new of the test program (zronew.hpp) --------------------------

namespace {

// The plan of failing operator news (zronew.hpp).
std::atomic<bool> g_newPlanned{false}, g_newPersistent{false};
std::atomic<int> g_newPaused{0};
std::atomic<unsigned long> g_newCount{0}, g_newFailAt{0};
// Inside one of these operator news: the runtime's new[] may call new, which
// is the same allocation and is not counted again.
thread_local int t_newDepth = 0;

using NewFunction = void* (*)(std::size_t);

// Forwards to `next`, the operator new that these stand in front of (the
// runtime's, or a sanitizer's, whose delete then frees what it gave), unless
// this allocation is planned to fail.
void* allocate(NewFunction next, std::size_t size)
{
    if (g_newPlanned.load(std::memory_order_relaxed) && t_newDepth == 0 &&
        g_newPaused.load(std::memory_order_relaxed) == 0) {
        const unsigned long n = g_newCount.fetch_add(1, std::memory_order_relaxed) + 1;
        const unsigned long at = g_newFailAt.load(std::memory_order_relaxed);
        if (n == at || (n > at && g_newPersistent.load(std::memory_order_relaxed)))
            throw std::bad_alloc();
    }
    struct Depth {
        Depth() { ++t_newDepth; }
        ~Depth() { --t_newDepth; }
    } depth;
    return next(size);
}

} // namespace

void zroTestFailNew(unsigned long nth, bool persistent)
{
    g_newPlanned.store(false);
    g_newPersistent.store(persistent);
    g_newFailAt.store(g_newCount.load() + nth);
    g_newPlanned.store(nth != 0);
}

unsigned long zroTestNewCount() { return g_newCount.load(); }

ZroNewPause::ZroNewPause() { g_newPaused.fetch_add(1); }

ZroNewPause::~ZroNewPause() { g_newPaused.fetch_sub(1); }

void* operator new(std::size_t size)
{
    static const auto next = reinterpret_cast<NewFunction>(dlsym(RTLD_NEXT, "_Znwm"));
    return allocate(next, size);
}

void* operator new[](std::size_t size)
{
    static const auto next = reinterpret_cast<NewFunction>(dlsym(RTLD_NEXT, "_Znam"));
    return allocate(next, size);
}

bool ZroTest::unobserved()
{
    zrecs_set_listener(nullptr, nullptr);
    zrecs_set_pointer_check(nullptr, nullptr);
    return zrecs_state == 0;
}
