// A program outside the zroi tree, built against an installed zroi: it
// traces one text through a zrecs listener, creates an object on the
// library's heap and asks for a pointer check; the library it runs with is
// the version of the headers it was built with. Exits 0 only if all of it
// behaves; prints what went wrong otherwise.
#include <zroi/zroi.hpp>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct Seen {
    int texts = 0;
    unsigned function = 0;
    char text[64] = {};
};

void listen(const zrecs_event* event, void* context)
{
    Seen* seen = static_cast<Seen*>(context);
    if (event->kind != ZRECS_TEXT) return;
    ++seen->texts;
    seen->function = event->function;
    std::snprintf(seen->text, sizeof seen->text, "%s", event->text);
}

int failure(const char* what)
{
    std::fprintf(stderr, "zroi_consumer: %s\n", what);
    return 1;
}

} // namespace

int main()
{
    Seen seen;
    zrecs_set_listener(listen, &seen);
    ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, 7, "hello from outside");
    zrecs_set_listener(nullptr, nullptr);
    ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, 8, "nobody listens");

    if (seen.texts != 1) return failure("the listener did not see exactly one text");
    if (seen.function != 7 || std::strcmp(seen.text, "hello from outside") != 0)
        return failure("the listener saw another text");

    std::unique_ptr<ZroErr> object(new ZroErr);
    if (object->completionCode() != ZRCC_OK || object->reasonCode() != ZRRC_NONE)
        return failure("a new object does not start with codes 0/0");

    char byte = 0;
    if (ZroTrc::checkReadPointer(&byte, 1) != 1 || ZroTrc::checkReadPointer(nullptr, 1) != 0)
        return failure("the pointer check gave a wrong answer");

    if (std::strcmp(zroi_version(), ZROI_VERSION_STRING) != 0)
        return failure("the library's version is not that of its headers");

    std::printf("zroi_consumer: zroi %s; traced \"%s\" under function %u; codes %d/%d\n",
                zroi_version(), seen.text, seen.function, object->completionCode(),
                object->reasonCode());
    return 0;
}
