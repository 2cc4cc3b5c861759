// ZroHdr and the structure id test.
#include "zroi/zrohdr.hpp"

#include <cstring>

#include "zroframe.hpp"
#include "zroi/zromsg.hpp"

ZROI_IDENT("lib/zroi/zrohdr")

namespace {

constexpr unsigned FN_STRUCTURE_ID_IS = 12;

} // namespace

ZroHdr::~ZroHdr() = default;

unsigned char ZroItm::structureIdIs(const char* id, const ZroMsg& message)
{
    if (id != nullptr && message.dataLength() >= 4 &&
        std::memcmp(message.dataPointer(), id, 4) == 0)
        return 1;
    ZroTrc::traceMessage(ZRO_TRACE_COMPONENT, FN_STRUCTURE_ID_IS,
                         "ZroItem::structureIdIs (information): structure id is not equal");
    return 0;
}
