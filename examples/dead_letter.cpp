// A string message with a dead-letter header, written and read back.
//
// A dead-letter header stands in front of a message that could not be
// delivered: it names the queue and queue manager the message was meant for
// and the application, date and time of its put. The program writes a string
// body, puts the header in front of it, then reads the message back as the
// application that handles undelivered messages would. It exits with 1 if
// anything read back differs from what was written.
//
// Run it with ZRECS_TRACE=- to see the library's trace on standard error.
#include <cstdio>
#include <cstring>

#include <zroi/zroi.hpp>

// Every operation reports through the completion and reason code of the
// object it ran on (writeItem and readItem copy the item's to the message);
// zroi never throws for bad input.
static int failed(const char* what, const ZroErr& object)
{
    std::fprintf(stderr, "%s failed: completion %d, reason %d\n", what, object.completionCode(),
                 object.reasonCode());
    return 1;
}

static bool same(const ZroStr& text, const char* expected)
{
    return std::strcmp(text.dataPointer() != nullptr ? text.dataPointer() : "", expected) == 0;
}

int main()
{
    // 1. The body. A string replaces the message's data; the message's format
    //    becomes "ZRSTR   ", its encoding 546 (this machine's) and its
    //    character set 0.
    ZroMsg message;
    ZroStr body("order 4711: 3 boxes");
    if (!message.writeItem(body)) return failed("writeItem(body)", message);

    // 2. The header. Text setters copy at most the field's width.
    ZroDlh header;
    header.setDestinationQueueName("ORDERS.IN");
    header.setDestinationQueueManagerName("QM.EAST");
    header.setPutApplicationName("order-entry");
    header.setPutDate("20240601");
    header.setPutTime("12003000");

    // Writing the header puts its 172 bytes in front of the body. The header
    // takes the message's description (format "ZRSTR   ": a string follows
    // it) and the message now says "ZRDEAD  ".
    if (!message.writeItem(header)) return failed("writeItem(header)", message);
    std::printf("written: %u bytes, format \"%s\"; the header says \"%s\" follows it\n",
                message.messageLength(), message.format().dataPointer(),
                header.format().dataPointer());

    // 3. Reading back: from the start of the data, outermost item first. The
    //    header checks its structure id "DLH ", the encoding 546 and the
    //    format "ZRDEAD  ", takes its 172 bytes and hands the message the
    //    format of what follows.
    message.setDataOffset(0);
    ZroDlh received;
    if (!message.readItem(received)) return failed("readItem(header)", message);
    std::printf("header read: data offset %u, the message's format is \"%s\" again\n",
                message.dataOffset(), message.format().dataPointer());

    ZroStr text;
    if (!message.readItem(text)) return failed("readItem(body)", message);

    std::printf("destination queue          %s\n", received.destinationQueueName().dataPointer());
    std::printf("destination queue manager  %s\n",
                received.destinationQueueManagerName().dataPointer());
    std::printf("put by                     %s on %s at %s\n",
                received.putApplicationName().dataPointer(), received.putDate().dataPointer(),
                received.putTime().dataPointer());
    std::printf("body                       %s\n", text.dataPointer());

    // 4. Reading the header again from where the cursor stands now fails:
    //    no structure id lies behind the data offset. The failure is a code,
    //    not an exception.
    ZroDlh again;
    if (message.readItem(again) || again.reasonCode() != ZRRC_STRUC_ID_ERROR) {
        std::fprintf(stderr, "a second read of the header should fail with 6107\n");
        return 1;
    }
    std::printf("a second readItem(header): completion %d, reason %d (ZRRC_STRUC_ID_ERROR)\n",
                again.completionCode(), again.reasonCode());

    const bool ok = same(received.destinationQueueName(), "ORDERS.IN") &&
                    same(received.destinationQueueManagerName(), "QM.EAST") &&
                    same(received.putApplicationName(), "order-entry") &&
                    same(received.putDate(), "20240601") && same(received.putTime(), "12003000") &&
                    same(text, "order 4711: 3 boxes") &&
                    message.messageLength() == ZRDLH_LENGTH + 19;
    if (!ok) std::fprintf(stderr, "what was read back differs from what was written\n");
    return ok ? 0 : 1;
}
