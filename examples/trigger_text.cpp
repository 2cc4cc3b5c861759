// A trigger message and its character form.
//
// A trigger message tells a program which queue to serve and which
// application to start. It is a body, not a header: it is the whole of a
// message's data. Its character form ZRTMC2 holds every field as text,
// numbers included, for programs that take their start parameters as one
// string. The program builds a trigger, writes it into a message, reads it
// back and prints the character form field by field. It exits with 1 if the
// character form is not what the fields say.
#include <cstdio>
#include <cstring>
#include <string>

#include <zroi/zroi.hpp>

static int failed(const char* what, const ZroErr& object)
{
    std::fprintf(stderr, "%s failed: completion %d, reason %d\n", what, object.completionCode(),
                 object.reasonCode());
    return 1;
}

// A field of ZRTMC2 with its trailing blanks shown up to a '|'.
static void show(const char* name, const char* field, std::size_t width)
{
    std::printf("  %-16s |%.*s|\n", name, static_cast<int>(width), field);
}

int main()
{
    ZroTrg trigger;
    trigger.setQueueName("ORDERS.IN");
    trigger.setProcessName("ORDERS.PROCESS");
    trigger.setTriggerData("priority=high");
    trigger.setApplicationId("/opt/orders/bin/serve");
    trigger.setEnvironmentData("LANG=C");
    trigger.setUserData("batch 7");

    // A trigger message replaces whatever the message held: 684 bytes, format
    // "ZRTRIG  ".
    ZroMsg message;
    if (!message.writeItem(trigger)) return failed("writeItem(trigger)", message);
    std::printf("message: %u bytes, format \"%s\"\n", message.messageLength(),
                message.format().dataPointer());

    message.setDataOffset(0);
    ZroTrg received;
    if (!message.readItem(received)) return failed("readItem(trigger)", message);

    // The character form is the caller's storage; copyOut fills all 732
    // bytes, each field blank-filled to its width, without terminators.
    ZRTMC2 form;
    if (!received.copyOut(&form)) return failed("copyOut(ZRTMC2*)", received);

    std::printf("ZRTMC2 (%zu bytes):\n", sizeof form);
    show("strucId", form.strucId, sizeof form.strucId);
    show("version", form.version, sizeof form.version);
    show("queueName", form.queueName, sizeof form.queueName);
    show("processName", form.processName, sizeof form.processName);
    show("triggerData", form.triggerData, sizeof form.triggerData);
    show("spareInteger", form.spareInteger, sizeof form.spareInteger);
    show("applId", form.applId, 40); // the first 40 of its 256 characters
    show("environmentData", form.environmentData, 40);
    show("userData", form.userData, 40);

    // Check a few fields: text, then blanks to the full width.
    const std::string queue(form.queueName, sizeof form.queueName);
    const bool ok = std::memcmp(form.strucId, ZRTMC2_STRUC_ID, 4) == 0 &&
                    std::memcmp(form.version, ZRTMC2_VERSION_TEXT, 4) == 0 &&
                    queue == "ORDERS.IN" + std::string(sizeof form.queueName - 9, ' ') &&
                    std::memcmp(form.spareInteger, "   0", 4) == 0;
    if (!ok) std::fprintf(stderr, "the character form is not what the fields say\n");
    return ok ? 0 : 1;
}
