// The header protocol when the message's buffer must grow for a header: the
// data is copied straight to its place behind the header, and the outcome is
// the one a buffer with room gives. And how a header read hands its format
// to the message: straight from the record for the library's own classes,
// through format() for a class derived from one.
#include <cstring>
#include <string>
#include <vector>

#include "zroalloc.hpp"
#include "zroi/zrodlh.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrowih.hpp"
#include "zrotest.hpp"

using ZroHdrTest = ZroTest;

namespace {

} // namespace

namespace {

// A header of the application's own, derived from one of the library's, that
// names the data behind it in its own way.
template <class H> class Renaming : public H {
public:
    ZroStr format() const override { return ZroStr("APPFMT"); }
};

template <class H> class ZroHdrFormatTest : public ZroTest {
};
using Headers = ::testing::Types<ZroDlh, ZroKih, ZroRfh, ZroRih, ZroWih>;
TYPED_TEST_SUITE(ZroHdrFormatTest, Headers);

} // namespace

TYPED_TEST(ZroHdrFormatTest, TheFormatHandedOnIsTheOneFormatGives)
{
    ZroMsg message;
    ZroStr body("payload");
    TypeParam written;
    ASSERT_EQ(message.writeItem(body), 1);
    ASSERT_EQ(message.writeItem(written), 1);

    const std::string headerFormat(message.descriptor().format, 8);

    // The library's class: the record's field, read without a string.
    message.setDataOffset(0);
    TypeParam plain;
    const unsigned long allocations = zroi_test_allocation_count();
    ASSERT_EQ(message.readItem(plain), 1);
    EXPECT_EQ(std::string(message.descriptor().format, 8), "ZRSTR   ");
    EXPECT_EQ(zroi_test_allocation_count(), allocations);

    // A derived class: whatever its format() says, blank padded.
    message.setDataOffset(0);
    message.setFormat(headerFormat.c_str());
    Renaming<TypeParam> derived;
    ASSERT_EQ(message.readItem(derived), 1);
    EXPECT_EQ(std::string(message.descriptor().format, 8), "APPFMT  ");
    EXPECT_EQ(std::string(derived.TypeParam::format().dataPointer()), "ZRSTR   ");
}
