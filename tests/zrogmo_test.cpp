// ZroGmo and ZroGmo3: record defaults at their offsets, versions supported,
// resolved queue name, sync point bits, message token, copies and threads.
#include <atomic>
#include <cstddef>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "zroalloc.hpp"
#include "zroi/zrogmo.hpp"
#include "zroi/zrogmo2.hpp"
#include "zrotest.hpp"

namespace {

// The classes with their protected controls opened to the tests.
struct Gmo2 : ZroGmo {
    using ZroGmo::setCodes;
    using ZroGmo::setVersionSupported;
};
struct Gmo3 : ZroGmo3 {
    using ZroGmo3::setCodes;
    using ZroGmo3::setVersionSupported;
};

// Puts both versions supported back as they are at load, however a test ends.
struct VersionsRestored {
    ~VersionsRestored()
    {
        Gmo2::setVersionSupported(2);
        Gmo3::setVersionSupported(3);
    }
};

unsigned char* bytesOf(ZroGmo& g) { return static_cast<unsigned char*>(g.record()); }
unsigned char* bytesOf(ZroGmo3& g) { return reinterpret_cast<unsigned char*>(&g.record()); }

int32_t longAt(const unsigned char* record, std::size_t offset)
{
    int32_t value;
    std::memcpy(&value, record + offset, sizeof value);
    return value;
}

void setLongAt(unsigned char* record, std::size_t offset, int32_t value)
{
    std::memcpy(record + offset, &value, sizeof value);
}

bool allBytes(const unsigned char* p, std::size_t n, unsigned char value)
{
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != value) return false;
    return true;
}

// The defaults of the first 80 bytes, checked against the layout offsets.
bool hasDefaults80(const unsigned char* r, int32_t version)
{
    return std::memcmp(r, "GMO ", 4) == 0 && longAt(r, 4) == version && longAt(r, 8) == 0 &&
           longAt(r, 12) == 0 && longAt(r, 16) == 0 && longAt(r, 20) == 0 &&
           allBytes(r + 24, 48, 0) && longAt(r, 72) == 3 && std::memcmp(r + 76, "    ", 4) == 0;
}

// The same for all 100 bytes of version 3.
bool hasDefaults100(const unsigned char* r, int32_t version)
{
    return hasDefaults80(r, version) && allBytes(r + 80, 16, 0) && longAt(r, 96) == -1;
}

std::string bytes(const void* p, std::size_t n)
{
    return std::string(static_cast<const char*>(p), n);
}

const char TOKEN[] = "0123456789ABCDEF";

} // namespace

using ZroGmoTest = ZroTest;

// What both classes do alike, run once for each.
template <class T> class ZroGmoBothTest : public ZroTest {
};
struct GmoName {
    template <class T> static std::string GetName(int)
    {
        return std::is_same<T, Gmo2>::value ? "ZroGmo" : "ZroGmo3";
    }
};
using GmoTypes = ::testing::Types<Gmo2, Gmo3>;
TYPED_TEST_SUITE(ZroGmoBothTest, GmoTypes, GmoName);

TYPED_TEST(ZroGmoBothTest, SyncPointParticipation)
{
    TypeParam g;
    unsigned char* r = bytesOf(g);
    const int32_t cases[][2] = {{0, 0},          {0x00000001, 0}, {0x00000004, 0},
                                {0x00000002, 1}, {0x00001000, 1}, {0x00001006, 1}};
    for (const auto& c : cases) {
        setLongAt(r, 8, c[0]);
        EXPECT_EQ(g.syncPointParticipation(), c[1]) << std::hex << c[0];
    }

    setLongAt(r, 8, 0x00001000);
    g.setSyncPointParticipation(0);
    EXPECT_EQ(longAt(r, 8), 0x00000004);
    EXPECT_EQ(g.syncPointParticipation(), 0);
    g.setSyncPointParticipation(1);
    EXPECT_EQ(longAt(r, 8), 0x00000002);
    EXPECT_EQ(g.syncPointParticipation(), 1);

    // Every other bit survives both, the sign bit included; any non-zero
    // value means participation.
    const int32_t others = static_cast<int32_t>(0x80000001u) | 0x00000800 | 0x00002000;
    setLongAt(r, 8, others | 0x00001000 | 0x00000004);
    g.setSyncPointParticipation(5);
    EXPECT_EQ(longAt(r, 8), others | 0x00000002);
    g.setSyncPointParticipation(0);
    EXPECT_EQ(longAt(r, 8), others | 0x00000004);
    setLongAt(r, 8, others | 0x00001000 | 0x00000002);
    g.setSyncPointParticipation(0);
    EXPECT_EQ(longAt(r, 8), others | 0x00000004);

    // Only the options word changed.
    TypeParam fresh;
    setLongAt(bytesOf(fresh), 8, longAt(r, 8));
    EXPECT_EQ(std::memcmp(r, bytesOf(fresh), TypeParam::RECORD_LENGTH), 0);
    this->expectCodes(g, 0, 0);
    EXPECT_TRUE(this->events().empty());
}

// The record templates are filled by no one at run time, so the first
// objects of a process may be constructed on several threads at once. Under
// ctest every test runs in a process of its own, so these are the first
// objects of theirs; under ThreadSanitizer a race on a template or on a
// version supported (changed here while the others construct) is reported.
TEST_F(ZroGmoTest, FirstObjectsConstructedOnSeveralThreadsAtOnce)
{
    VersionsRestored restore;
    constexpr int THREADS = 4;
    constexpr int ROUNDS = 500;
    std::atomic<bool> go{false};
    std::atomic<bool> done{false};
    std::vector<int> errors(THREADS, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
            int& bad = errors[static_cast<std::size_t>(t)];
            for (int round = 0; round < ROUNDS; ++round) {
                ZroGmo g2;
                ZroGmo3 g3;
                const unsigned char* r2 = bytesOf(g2);
                const unsigned char* r3 = bytesOf(g3);
                if (!hasDefaults80(r2, longAt(r2, 4)) || (longAt(r2, 4) != 2 && longAt(r2, 4) != 5))
                    ++bad;
                if (!hasDefaults100(r3, longAt(r3, 4)) ||
                    (longAt(r3, 4) != 3 && longAt(r3, 4) != 6))
                    ++bad;
                if (g2.completionCode() != 0 || g3.completionCode() != 0) ++bad;
            }
        });
    }
    std::thread changer([&] {
        while (!go.load(std::memory_order_acquire)) std::this_thread::yield();
        for (int i = 0; !done.load(std::memory_order_relaxed); ++i) {
            Gmo2::setVersionSupported(i % 2 == 0 ? 5 : 2);
            Gmo3::setVersionSupported(i % 2 == 0 ? 6 : 3);
            std::this_thread::yield();
        }
    });
    go.store(true, std::memory_order_release);
    for (std::thread& t : threads) t.join();
    done.store(true, std::memory_order_relaxed);
    changer.join();
    for (int t = 0; t < THREADS; ++t) EXPECT_EQ(errors[static_cast<std::size_t>(t)], 0) << t;
}

TEST_F(ZroGmoTest, EachClassHasItsOwnVersionSupported)
{
    VersionsRestored restore;
    EXPECT_EQ(ZroGmo::versionSupported(), 2);
    EXPECT_EQ(ZroGmo3::versionSupported(), 3);
    ZroGmo before;

    Gmo2::setVersionSupported(1);
    EXPECT_EQ(ZroGmo::versionSupported(), 1);
    ZroGmo after;
    ZroGmo3 other;
    EXPECT_TRUE(hasDefaults80(bytesOf(after), 1));
    EXPECT_TRUE(hasDefaults100(bytesOf(other), 3));
    EXPECT_EQ(longAt(bytesOf(before), 4), 2); // built earlier: keeps its version
    ZroGmo copyOfBefore(before);
    EXPECT_EQ(longAt(bytesOf(copyOfBefore), 4), 2);
    after = before; // assignment takes the version too
    EXPECT_EQ(longAt(bytesOf(after), 4), 2);

    Gmo3::setVersionSupported(7);
    ZroGmo3 later;
    ZroGmo second;
    EXPECT_TRUE(hasDefaults100(bytesOf(later), 7));
    EXPECT_EQ(later.recordLevel(), 3); // the record level never follows the version
    EXPECT_EQ(longAt(bytesOf(other), 4), 3);
    EXPECT_EQ(longAt(bytesOf(second), 4), 1);
    ZroGmo3 copyOfOther(other);
    EXPECT_EQ(longAt(bytesOf(copyOfOther), 4), 3);
}

TYPED_TEST(ZroGmoBothTest, CopiesTakeTheCodesAndEveryByte)
{
    TypeParam source;
    unsigned char* s = bytesOf(source);
    for (unsigned i = 0; i < TypeParam::RECORD_LENGTH; ++i)
        s[i] = static_cast<unsigned char>(i * 7 + 1);
    source.setCodes(2, 6111);
    const std::string before = bytes(s, TypeParam::RECORD_LENGTH);

    TypeParam copy(source);
    this->expectCodes(copy, 2, 6111);
    EXPECT_EQ(bytes(bytesOf(copy), TypeParam::RECORD_LENGTH), before);
    EXPECT_NE(bytesOf(copy), s);

    TypeParam assigned;
    assigned.setCodes(1, 6115);
    assigned = source;
    this->expectCodes(assigned, 2, 6111);
    EXPECT_EQ(bytes(bytesOf(assigned), TypeParam::RECORD_LENGTH), before);

    // Assigning a clean object clears the codes with everything else.
    TypeParam clean;
    assigned = clean;
    this->expectCodes(assigned, 0, 0);
    EXPECT_EQ(std::memcmp(bytesOf(assigned), bytesOf(clean), TypeParam::RECORD_LENGTH), 0);

    // The copies are independent, and self-assignment changes nothing.
    bytesOf(copy)[30] = 'Z';
    EXPECT_EQ(bytes(s, TypeParam::RECORD_LENGTH), before);
    const TypeParam& same = source;
    source = same;
    this->expectCodes(source, 2, 6111);
    EXPECT_EQ(bytes(s, TypeParam::RECORD_LENGTH), before);
    EXPECT_TRUE(this->events().empty());
}

TEST_F(ZroGmoTest, Version3CopiesKeepTheirOwnRecord)
{
    ZroGmo3 a, b;
    ZRGMO* own = &a.record();
    EXPECT_NE(own, &b.record());
    b.setMessageToken(reinterpret_cast<const unsigned char*>(TOKEN));
    unsigned long allocations = zroi_test_allocation_count();
    failAllocation(1, true); // assignment obtains nothing, so it cannot fail
    a = b;
    failAllocation(0);
    EXPECT_EQ(zroi_test_allocation_count(), allocations);
    EXPECT_EQ(&a.record(), own);
    EXPECT_EQ(a.recordLevel(), 3);
    EXPECT_TRUE(a.messageToken() == ZroBin(TOKEN, 16));
}
