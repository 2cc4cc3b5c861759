// ZroChl when new runs out of storage: std::bad_alloc reaches the caller and
// the channel stays valid, owning exactly what its record names.
//
// The channel obtains its record, peer name and lists with new, which this
// file replaces for the whole test program: the replacement is malloc and
// free as long as no failure is planned, and throws std::bad_alloc for the
// n-th allocation after failNew(n). The leak and sanitizer runs then show
// whether anything is lost on the way out.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "zrochl_probe.hpp"
#include "zrotest.hpp"

namespace {
// 0: no failure planned; otherwise the allocations left until one fails.
std::atomic<unsigned> g_newCountdown{0};

void* allocate(std::size_t size)
{
    unsigned left = g_newCountdown.load(std::memory_order_relaxed);
    while (left != 0) {
        if (g_newCountdown.compare_exchange_weak(left, left - 1, std::memory_order_relaxed)) {
            if (left == 1) throw std::bad_alloc();
            break;
        }
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
} // namespace

// Never inlined: a tool that replaces new and delete itself (valgrind) then
// replaces all of them, and no block goes from its new to this free.
__attribute__((noinline)) void* operator new(std::size_t size) { return allocate(size); }
__attribute__((noinline)) void* operator new[](std::size_t size) { return allocate(size); }
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

// Runs `f` with the `nth` new from now failing; true when it threw bad_alloc.
template <class F> bool failsAtNew(unsigned nth, F f)
{
    g_newCountdown.store(nth, std::memory_order_relaxed);
    bool threw = false;
    try {
        f();
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    g_newCountdown.store(0, std::memory_order_relaxed);
    return threw;
}

// A channel owns a list pair exactly when its count is above 0, and its
// entries can be read.
void expectConsistent(ChannelProbe& channel)
{
    const ZRCD& r = channel.record();
    EXPECT_EQ(r.sendExitCount > 0, r.sendExitNameList != nullptr);
    EXPECT_EQ(r.sendExitCount > 0, r.sendExitDataList != nullptr);
    EXPECT_EQ(r.receiveExitCount > 0, r.receiveExitNameList != nullptr);
    EXPECT_EQ(r.receiveExitCount > 0, r.receiveExitDataList != nullptr);
    EXPECT_TRUE(r.sslPeerNamePointer != nullptr || r.sslPeerNameLength == 0);
    ZroStr names[3];
    ZroStr* strings[] = {&names[0], &names[1], &names[2]};
    EXPECT_EQ(channel.sendExitNames(3, strings), 1);
    EXPECT_EQ(channel.receiveUserData(3, strings), 1);
    channel.sslPeerName();
}

} // namespace

class ZroChlAllocationTest : public ZroTest {
protected:
    void SetUp() override
    {
        ZroTest::SetUp();
        // Under a tool that puts its own new in place of this file's, no
        // failure can be planned.
        bool planned = failsAtNew(1, [] { ::operator delete(::operator new(1)); });
        if (!planned) GTEST_SKIP() << "operator new is replaced by the tool running the tests";
    }
};

TEST_F(ZroChlAllocationTest, ConstructionAndCopyPassTheFailureOn)
{
    EXPECT_TRUE(failsAtNew(1, [] { ChannelProbe channel; }));

    ChannelProbe source;
    const char* names[] = {"n1", "n2", "n3"};
    source.setSendExitNames(3, names);
    source.setReceiveExitNames(2, names);
    source.setSslPeerName("CN=source");
    // Record, two receive lists, two send lists, peer name: every one of the
    // six allocations of a copy fails in turn, then the copy succeeds.
    unsigned nth = 1;
    for (; nth <= 6; ++nth) {
        SCOPED_TRACE(nth);
        EXPECT_TRUE(failsAtNew(nth, [&] { ChannelProbe copy(source); }));
    }
    EXPECT_FALSE(failsAtNew(nth, [&] {
        ChannelProbe copy(source);
        EXPECT_EQ(copy.sendExitCount(), 3u);
        EXPECT_EQ(textOf(copy.sslPeerName()), "CN=source");
    }));
    EXPECT_EQ(textOf(source.receiveExitName()), "n1");
}

TEST_F(ZroChlAllocationTest, AssignmentLeavesAValidChannel)
{
    ChannelProbe source;
    const char* names[] = {"s1", "s2"};
    source.setSendExitNames(2, names);
    source.setReceiveExitNames(1, names);
    source.setSslPeerName("CN=source");
    for (unsigned nth = 1; nth <= 5; ++nth) {
        SCOPED_TRACE(nth);
        ChannelProbe target;
        target.setReceiveExitNames(2, names);
        target.setSslPeerName("CN=target");
        EXPECT_TRUE(failsAtNew(nth, [&] { target = source; }));
        expectConsistent(target);
        // Whatever it holds, it can be assigned again and destroyed.
        target = source;
        EXPECT_EQ(textOf(target.sendExitName()), "s1");
        EXPECT_EQ(textOf(target.sslPeerName()), "CN=source");
    }
}

TEST_F(ZroChlAllocationTest, SettersLeaveAValidChannel)
{
    ChannelProbe channel;
    const char* names[] = {"a", "b", "c"};
    channel.setReceiveExitNames(2, names);
    std::string before = bytesOf(channel.record().receiveExitNameList, 256);
    // A list too long for the record changes nothing; no allocation is tried.
    EXPECT_TRUE(failsAtNew(1, [&] { channel.setReceiveExitNames(0x80000000u, names); }));
    EXPECT_EQ(bytesOf(channel.record().receiveExitNameList, 256), before);
    // Another count: the old lists are released first, so a failure of
    // either new block leaves the direction without exits.
    for (unsigned nth = 1; nth <= 2; ++nth) {
        channel.setReceiveExitNames(2, names);
        EXPECT_TRUE(failsAtNew(nth, [&] { channel.setReceiveExitNames(3, names); }));
        EXPECT_EQ(channel.receiveExitCount(), 0u);
        expectConsistent(channel);
    }
    // The same count needs no storage.
    channel.setReceiveExitNames(2, names);
    EXPECT_FALSE(failsAtNew(1, [&] { channel.setReceiveExitNames(2, names + 1); }));
    EXPECT_EQ(textOf(channel.receiveExitName()), "b");

    channel.setSslPeerName("CN=old");
    EXPECT_TRUE(failsAtNew(1, [&] { channel.setSslPeerName("CN=new"); }));
    EXPECT_EQ(channel.record().sslPeerNamePointer, nullptr);
    EXPECT_EQ(channel.record().sslPeerNameLength, 0);
    EXPECT_EQ(textOf(channel.sslPeerName()), "");
    expectConsistent(channel);
}
