// The writes of a header's copyOut, as zrecs sees them: the record (or each
// piece of it), then the data that was in the message, each a traced write
// with its two pointer checks; and what a refused write leaves behind.
#include <string>
#include <vector>

#include "zroi/zrodlh.hpp"
#include "zroi/zrokih.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrorih.hpp"
#include "zroi/zrowih.hpp"
#include "zrotest.hpp"

namespace {

const std::string kWriteRefused = "ZroError::checkWritePointer (error): buffer error";

// A message holding a string body in a buffer with room for any header, so
// that copyOut grows nothing and the buffer stays where it is.
void holdBody(ZroMsg& message, const char* body)
{
    message.resizeBuffer(512);
    ZroStr text(body);
    ASSERT_EQ(message.writeItem(text), 1);
}

// The pointer checks of the writes since the last clearEvents, as
// "mode@offset+length", offsets from the start of the message's buffer, or
// "mode@source+length" for storage elsewhere.
std::vector<std::string> checks(const std::vector<TraceEvent>& events, const ZroMsg& message)
{
    std::vector<std::string> seen;
    const char* buffer = message.bufferPointer();
    bool writing = false;
    for (const TraceEvent& e : events) {
        if ((e.kind == ZRECS_ENTRY || e.kind == ZRECS_EXIT) && e.function == 9)
            writing = e.kind == ZRECS_ENTRY;
        if (e.kind != ZRECS_CHECK || !writing) continue;
        const char* start = static_cast<const char*>(e.start);
        const bool inside = start >= buffer && start < buffer + message.bufferLength();
        seen.push_back(std::to_string(e.value) + "@" +
                       (inside ? std::to_string(start - buffer) : std::string("source")) + "+" +
                       std::to_string(e.length));
    }
    return seen;
}

template <class H> class ZroHdrWriteTest : public ZroTest {
};
using Headers = ::testing::Types<ZroDlh, ZroKih, ZroRih, ZroWih, ZroRfh>;
TYPED_TEST_SUITE(ZroHdrWriteTest, Headers);

} // namespace

TYPED_TEST(ZroHdrWriteTest, RecordThenDataEachATracedWriteAndARefusedDataPlaceKeepsTheHeaderAlone)
{
    const std::string body = "the body";
    const unsigned held = static_cast<unsigned>(body.size());
    for (bool refused : {false, true}) {
        SCOPED_TRACE(refused ? "data place refused" : "accepted");
        ZroMsg message;
        holdBody(message, body.c_str());
        TypeParam header, first;
        ZroMsg written;
        holdBody(written, body.c_str());
        ASSERT_EQ(first.copyOut(written), 1);
        const unsigned length = written.messageLength() - held;
        const std::string format(written.descriptor().format, 8);

        if (refused) this->refuse(message.bufferPointer() + length, held, 2);
        this->clearEvents();
        EXPECT_EQ(header.copyOut(message), refused ? 0 : 1);

        // A fixed record is one write; a reference header writes its fixed
        // part and four texts (empty here) one by one. The data comes last.
        const unsigned pieces = format == "ZRHREF  " ? 5 : 1;
        std::vector<std::string> records;
        for (unsigned i = 0; i < pieces; ++i)
            records.insert(records.end(), {"entry 9", "exit 9 0"});
        records.insert(records.end(), {"entry 9", refused ? "exit 9 2004" : "exit 9 0"});
        EXPECT_EQ(this->records(), records);
        // Empty texts are written without a check; the record is read where
        // the header holds it and written at the start, the data read and
        // written where it lies.
        std::vector<std::string> expected = {"1@source+" + std::to_string(length),
                                             "2@0+" + std::to_string(length)};
        const std::string dataPlace = "@" + std::to_string(length) + "+" + std::to_string(held);
        expected.insert(expected.end(), {"1" + dataPlace, "2" + dataPlace});
        EXPECT_EQ(checks(this->events(), message), expected);

        EXPECT_EQ(std::string(message.descriptor().format, 8), format);
        EXPECT_EQ(message.encoding(), 546);
        EXPECT_EQ(message.characterSet(), 0);
        EXPECT_EQ(std::string(header.format().dataPointer()), "ZRSTR   ");
        if (!refused) {
            this->expectNoText();
            EXPECT_EQ(message.messageLength(), length + held);
            EXPECT_EQ(std::string(message.bufferPointer() + length, held), body);
            continue;
        }
        this->expectOnlyText(63, kWriteRefused);
        this->expectCodes(header, 2, 2004);
        EXPECT_EQ(message.messageLength(), length) << "the header alone";
        EXPECT_EQ(message.dataOffset(), length);
        EXPECT_EQ(std::string(message.bufferPointer(), length),
                  std::string(written.bufferPointer(), length));
    }
}

using ZroRfhWriteTest = ZroTest;

TEST_F(ZroRfhWriteTest, AWriteRefusedAtEachPartLeavesWhatWasWrittenBeforeIt)
{
    ZroRfh header;
    header.setSourceEnvironment("ab");
    header.setSourceName("cde");
    header.setDestinationEnvironment("fghi");
    header.setDestinationName("jklmn");
    const char* body = "DATA";
    ZroMsg whole;
    holdBody(whole, body);
    ASSERT_EQ(ZroRfh(header).copyOut(whole), 1);
    ASSERT_EQ(whole.messageLength(), 122u + 4u);
    const std::string full(whole.bufferPointer(), whole.messageLength());

    // The fixed part, the four texts, the data: where each is written.
    const unsigned starts[] = {0, 108, 110, 113, 117, 122};
    const unsigned lengths[] = {108, 2, 3, 4, 5, 4};
    for (unsigned k = 0; k < 6; ++k) {
        SCOPED_TRACE("write " + std::to_string(k) + " refused");
        ZroMsg message;
        holdBody(message, body);
        ZroRfh copy(header);
        refuse(message.bufferPointer() + starts[k], lengths[k], 2);
        clearEvents();
        EXPECT_EQ(copy.copyOut(message), 0);
        expectCodes(copy, 2, 2004);
        expectOnlyText(63, kWriteRefused);
        std::vector<std::string> records;
        for (unsigned i = 0; i < k; ++i) records.insert(records.end(), {"entry 9", "exit 9 0"});
        records.insert(records.end(), {"entry 9", "exit 9 2004"});
        EXPECT_EQ(this->records(), records);
        EXPECT_EQ(std::string(message.bufferPointer(), message.messageLength()),
                  full.substr(0, starts[k]));
        EXPECT_EQ(message.dataOffset(), starts[k]);
        EXPECT_EQ(std::string(message.descriptor().format, 8), "ZRHREF  ");
        EXPECT_EQ(message.encoding(), 546);
        EXPECT_EQ(message.characterSet(), 0);
        EXPECT_EQ(std::string(copy.format().dataPointer()), "ZRSTR   ");
        allowAll();
    }
}
