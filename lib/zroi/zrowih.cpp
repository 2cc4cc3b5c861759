// ZroWih: the work information header.
#include "zroi/zrowih.hpp"

#include "zrofield.hpp"
#include "zroframe.hpp"
#include "zrohdrframe_impl.hpp"

ZROI_IDENT("lib/zroi/zrowih")

namespace {

constexpr unsigned FN_PASTE_IN = 77;
constexpr unsigned FN_SET_MESSAGE_TOKEN = 78;

/// Service name and step blank, the message token, the spare bytes and the
/// other integers 0.
constexpr ZRWIH kDefaultRecord = zrohdrframe::startRecord<ZRWIH>(
    ZRWIH_STRUC_ID, ZRWIH_VERSION_1, ZRWIH_LENGTH, &ZRWIH::serviceName, &ZRWIH::serviceStep);

} // namespace

ZROI_HEADER_FRAME(ZroWih, ZRWIH, ZRFMT_WORK_INFO_HEADER, FN_PASTE_IN, false);

ZROI_HEADER_RECORD_ONLY(ZroWih, kDefaultRecord)

ZROFIELD_TEXT(ZroWih, serviceName, setServiceName)
ZROFIELD_TEXT(ZroWih, serviceStep, setServiceStep)
// Unlike the library's other texts, this one ends in a line feed.
ZROFIELD_BINARY(ZroWih, messageToken, setMessageToken, messageToken, FN_SET_MESSAGE_TOKEN, false,
                "ZroWorkHeader::setMessageToken (error): binary data length error\n")
