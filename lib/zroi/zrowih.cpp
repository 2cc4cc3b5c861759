// ZroWih: the work information header.
#include "zroi/zrowih.hpp"

#include <cstring>

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrohdrframe_impl.hpp"

ZROI_IDENT("lib/zroi/zrowih")

namespace {

constexpr unsigned FN_PASTE_IN = 77;
constexpr unsigned FN_SET_MESSAGE_TOKEN = 78;
constexpr auto kTexts = zroCheckTexts(ZRWIH_LONG_NAME);
constexpr ZroItemFacts kFacts{ZRWIH_STRUC_ID, ZRFMT_WORK_INFO_HEADER, kTexts, FN_PASTE_IN, false};

} // namespace

ZROI_HEADER_FRAME(ZroWih, ZRWIH, kFacts);

ZroWih::ZroWih() noexcept : ZroHdrFrame(ZRWIH{})
{
    // The message token, the spare bytes and the integers not set here are 0.
    std::memcpy(mutableRecord().strucId, ZRWIH_STRUC_ID, sizeof record().strucId);
    mutableRecord().version = ZRWIH_VERSION_1;
    mutableRecord().strucLength = ZRWIH_LENGTH;
    mutableRecord().encoding = ZRENC_NATIVE;
    std::memcpy(mutableRecord().format, ZRFMT_NONE, sizeof record().format);
    std::memset(mutableRecord().serviceName, ' ', sizeof record().serviceName);
    std::memset(mutableRecord().serviceStep, ' ', sizeof record().serviceStep);
}

ZroWih::~ZroWih() = default;

void ZroWih::operator=(const ZroWih& other) noexcept { ZroHdrFrame::operator=(other); }

ZROFIELD_TEXT(ZroWih, serviceName, setServiceName)
ZROFIELD_TEXT(ZroWih, serviceStep, setServiceStep)
// Unlike the library's other texts, this one ends in a line feed.
ZROFIELD_BINARY(ZroWih, messageToken, setMessageToken, messageToken, FN_SET_MESSAGE_TOKEN, false,
                "ZroWorkHeader::setMessageToken (error): binary data length error\n")
