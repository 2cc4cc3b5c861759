// A reference header: a header that names where the data comes from and
// where it goes, with four texts of any length behind its fixed part.
//
// The program puts a reference header in front of a string body, shows the
// bytes it produced, then reads the message back as a receiver would:
// header first, body last. It exits with 1 if anything read back differs
// from what was written.
#include <cstdio>
#include <cstring>

#include <zroi/zroi.hpp>

// Prints what went wrong on an object of the library. Every operation
// reports through the completion and reason code of the object it ran on;
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
    // 1. The body: the data the header describes. Writing an item into a
    //    message replaces the message's data and sets its format ("ZRSTR   ").
    ZroMsg message;
    ZroStr body("contents of report.txt");
    if (!message.writeItem(body)) return failed("writeItem(body)", message);

    // 2. The header. Its four texts may be of any length; copyOut lays them
    //    out behind the 108-byte fixed part and computes their offsets.
    ZroRfh header;
    header.setReferenceType("FILE");
    header.setSourceEnvironment("host-a:/export");
    header.setSourceName("report.txt");
    header.setDestinationEnvironment("host-b:/import");
    header.setDestinationName("reports/2024/report.txt");

    // Writing a header puts it in front of everything the message holds. The
    // header takes over the message's format (it now says that a string
    // follows it) and the message takes the header's format "ZRHREF  ".
    if (!message.writeItem(header)) return failed("writeItem(header)", message);
    std::printf("message: %u bytes, format \"%s\"\n", message.messageLength(),
                message.format().dataPointer());
    std::printf("header:  format of the data behind it \"%s\"\n", header.format().dataPointer());

    // 3. Reading back, as a receiver does: move the data offset to the start,
    //    then read each item the message's format names, outermost first.
    message.setDataOffset(0);
    ZroRfh received;
    if (!message.readItem(received)) return failed("readItem(header)", message);
    // After a header, the message describes the data behind it again.
    std::printf("after the header: data offset %u, format \"%s\"\n", message.dataOffset(),
                message.format().dataPointer());

    ZroStr text;
    if (!message.readItem(text)) return failed("readItem(body)", message);

    std::printf("reference type          %s\n", received.referenceType().dataPointer());
    std::printf("source environment      %s\n", received.sourceEnvironment().dataPointer());
    std::printf("source name             %s\n", received.sourceName().dataPointer());
    std::printf("destination environment %s\n", received.destinationEnvironment().dataPointer());
    std::printf("destination name        %s\n", received.destinationName().dataPointer());
    std::printf("body                    %s\n", text.dataPointer());

    const bool ok = same(received.referenceType(), "FILE") &&
                    same(received.sourceEnvironment(), "host-a:/export") &&
                    same(received.sourceName(), "report.txt") &&
                    same(received.destinationEnvironment(), "host-b:/import") &&
                    same(received.destinationName(), "reports/2024/report.txt") &&
                    same(text, "contents of report.txt") && message.formatIs(ZRFMT_STRING) != 0;
    if (!ok) std::fprintf(stderr, "what was read back differs from what was written\n");
    return ok ? 0 : 1;
}
