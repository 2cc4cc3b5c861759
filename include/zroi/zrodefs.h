// Completion and reason codes of zroi, and the records it reads and writes.
//
// Every object of the library carries a completion code (ZRCC_*) and a reason
// code (ZRRC_*). Operations never throw for bad input: they leave both codes
// on the object they were called on, write one diagnostic text to the zrecs
// trace and return 0 (or 1 with a warning).
//
// ```cpp
// ZroCac cache;
// const char data[] = "bytes";
// if (!cache.write(sizeof data, data))
//     std::printf("failed: %d/%d\n", cache.completionCode(), cache.reasonCode());
// ```
//
// The records below are the byte layouts of the middleware. Integers are
// 32-bit in the machine's byte order; character fields are fixed width and
// carry no terminator.
#ifndef ZROI_ZRODEFS_H
#define ZROI_ZRODEFS_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

// Completion codes.
constexpr int32_t ZRCC_OK = 0;      ///< the operation succeeded
constexpr int32_t ZRCC_WARNING = 1; ///< it succeeded with a warning
constexpr int32_t ZRCC_FAILED = 2;  ///< it failed

// Reason codes. Completion code 2 unless noted.
constexpr int32_t ZRRC_NONE = 0;                        ///< no reason stored
constexpr int32_t ZRRC_BUFFER_ERROR = 2004;             ///< caller storage failed a pointer check
constexpr int32_t ZRRC_EMPTY_EXIT_NAME = 2010;          ///< an exit name in a list is empty
constexpr int32_t ZRRC_STORAGE_NOT_AVAILABLE = 2071;    ///< no storage (1 for string warnings)
constexpr int32_t ZRRC_SOURCE_BUFFER_ERROR = 2145;      ///< source text failed the read check
constexpr int32_t ZRRC_TARGET_BUFFER_ERROR = 2146;      ///< target field failed the write check
constexpr int32_t ZRRC_LOCK_FAILED = 2195;              ///< the shared string lock step failed
constexpr int32_t ZRRC_EXIT_DATA_COUNT_ERROR = 2316;    ///< more exit user data than exits
constexpr int32_t ZRRC_ENCODING_ERROR = 6106;           ///< message encoding is not 546
constexpr int32_t ZRRC_STRUC_ID_ERROR = 6107;           ///< wrong structure id at the data pointer
constexpr int32_t ZRRC_NULL_POINTER = 6108;             ///< null pointer where one is required
constexpr int32_t ZRRC_NO_BUFFER = 6110;                ///< no destination buffer
constexpr int32_t ZRRC_BINARY_DATA_LENGTH_ERROR = 6111; ///< binary value not of the field width
constexpr int32_t ZRRC_BUFFER_NOT_RESIZABLE = 6112;     ///< a user buffer cannot be resized
constexpr int32_t ZRRC_INSUFFICIENT_BUFFER = 6113;      ///< a user buffer is too small
constexpr int32_t ZRRC_INSUFFICIENT_DATA = 6114;        ///< fewer data bytes than requested
constexpr int32_t ZRRC_DATA_TRUNCATED = 6115;           ///< data truncated (completion 1)
constexpr int32_t ZRRC_FORMAT_ERROR = 6119;             ///< message format is not the expected one
constexpr int32_t ZRRC_STRUC_LENGTH_ERROR = 6123;       ///< structure length field inconsistent
constexpr int32_t ZRRC_WRONG_VERSION = 6128;            ///< header version not supported

// Reason codes of the converter (ZroCnv), a range of their own. Completion 2
// unless noted; the converter also uses 6107, 6114, 6123 and 6128 above for
// the record faults that a reader reports with them.
constexpr int32_t ZRRC_CONVERT_ENCODING_ERROR = 6401; ///< byte order of an encoding neither 1 nor 2
constexpr int32_t ZRRC_CONVERT_CCSID_ERROR =
    6402; ///< character set not supported (or not single-byte for a record)
constexpr int32_t ZRRC_CONVERT_CHARACTER_ERROR =
    6403; ///< a character has no place in the target set
constexpr int32_t ZRRC_CONVERT_FORMAT_UNKNOWN =
    6404; ///< completion 1: a format the converter does not know

/// The component number of every trace record and text of the library.
constexpr unsigned ZRO_TRACE_COMPONENT = 31;
// Trace function numbers: 1 to 78 belong to the classes of the message
// protocol, each operation its own; 100 to 109 are the converter's (ZroCnv).

/// The native encoding that every item writes and every header requires.
constexpr int32_t ZRENC_NATIVE = 546;

// ---------------------------------------------------------------------------
// Records
//
// Each record is a standard-layout struct whose fields lie at the offsets of
// the wire layout, without padding (the channel definition's pointers are the
// one exception, see ZRCD). The facts of each record (structure id, format
// name, length, versions, long name of its class) stand as constants beside
// it, and static_asserts pin its size and every field offset, so that a
// record can be written and read with one memcpy.
//
// Field names follow the fields' meaning; "structure" is shortened to
// "struc", "application" to "appl" and the coded character set to
// "codedCharSetId". A field that this library does not interpret and that
// has no meaning of its own here is named after its type and its offset:
// wordN (a 32-bit integer), textN (characters) or bytesN (binary).
// Character fields are `char`, binary fields `unsigned char`; neither is
// terminated.
// ---------------------------------------------------------------------------

/// Format names, 8 characters, blank padded. A header's format name is also
/// what a message's format says while the header stands first in its data.
constexpr char ZRFMT_NONE[] = "        ";               ///< no format: binary data, the default
constexpr char ZRFMT_STRING[] = "ZRSTR   ";             ///< a string body
constexpr char ZRFMT_DEAD_LETTER_HEADER[] = "ZRDEAD  "; ///< ZRDLH
constexpr char ZRFMT_KOTA_BRIDGE_HEADER[] = "ZRKOTA  "; ///< ZRKIH
constexpr char ZRFMT_RPX_BRIDGE_HEADER[] = "ZRRPX   ";  ///< ZRRIH
constexpr char ZRFMT_TRIGGER[] = "ZRTRIG  ";            ///< ZRTM
constexpr char ZRFMT_REFERENCE_HEADER[] = "ZRHREF  ";   ///< ZRRMH
constexpr char ZRFMT_WORK_INFO_HEADER[] = "ZRHWIH  ";   ///< ZRWIH

/// Width of a format name and of a structure id, without terminator.
constexpr std::size_t ZRFMT_WIDTH = 8;
constexpr std::size_t ZRSTRUC_ID_WIDTH = 4;

static_assert(sizeof(ZRFMT_NONE) == ZRFMT_WIDTH + 1 && sizeof(ZRFMT_STRING) == ZRFMT_WIDTH + 1 &&
              sizeof(ZRFMT_DEAD_LETTER_HEADER) == ZRFMT_WIDTH + 1 &&
              sizeof(ZRFMT_KOTA_BRIDGE_HEADER) == ZRFMT_WIDTH + 1 &&
              sizeof(ZRFMT_RPX_BRIDGE_HEADER) == ZRFMT_WIDTH + 1 &&
              sizeof(ZRFMT_TRIGGER) == ZRFMT_WIDTH + 1 &&
              sizeof(ZRFMT_REFERENCE_HEADER) == ZRFMT_WIDTH + 1 &&
              sizeof(ZRFMT_WORK_INFO_HEADER) == ZRFMT_WIDTH + 1);

// --- Message descriptor ----------------------------------------------------

/// The message descriptor that travels with a message's data.
struct ZRMD {
    // report, messageType, expiry, priority, persistence, backoutCount,
    // putApplType and the four words from sequenceNumber on are carried
    // with the message but not interpreted by this library.
    char strucId[4];
    int32_t version;
    int32_t report;
    int32_t messageType;
    int32_t expiry;
    int32_t feedback;
    int32_t encoding;
    int32_t codedCharSetId;
    char format[8];
    int32_t priority;
    int32_t persistence;
    unsigned char messageId[24];
    unsigned char correlationId[24];
    int32_t backoutCount;
    char replyToQueueName[48];
    char replyToQueueManagerName[48];
    char userId[12];
    unsigned char accountingToken[32];
    char applIdData[32];
    int32_t putApplType;
    char putApplName[28];
    char putDate[8];
    char putTime[8];
    char applOriginData[4];
    unsigned char groupId[24];
    int32_t sequenceNumber;
    int32_t segmentOffset;
    int32_t messageFlags;
    int32_t originalLength;
};

constexpr char ZRMD_STRUC_ID[] = "MD  ";
constexpr int32_t ZRMD_LENGTH = 364;
constexpr int32_t ZRMD_VERSION_1 = 1;
constexpr int32_t ZRMD_VERSION_2 = 2;
constexpr int32_t ZRMD_CURRENT_VERSION = ZRMD_VERSION_2; ///< version supported at load

static_assert(std::is_standard_layout<ZRMD>::value && std::is_trivially_copyable<ZRMD>::value);
static_assert(sizeof(ZRMD) == ZRMD_LENGTH);
static_assert(sizeof(ZRMD_STRUC_ID) - 1 == sizeof(ZRMD::strucId));
static_assert(sizeof(ZRMD::format) == ZRFMT_WIDTH);
static_assert(offsetof(ZRMD, strucId) == 0);
static_assert(offsetof(ZRMD, version) == 4);
static_assert(offsetof(ZRMD, report) == 8);
static_assert(offsetof(ZRMD, messageType) == 12);
static_assert(offsetof(ZRMD, expiry) == 16);
static_assert(offsetof(ZRMD, feedback) == 20);
static_assert(offsetof(ZRMD, encoding) == 24);
static_assert(offsetof(ZRMD, codedCharSetId) == 28);
static_assert(offsetof(ZRMD, format) == 32);
static_assert(offsetof(ZRMD, priority) == 40);
static_assert(offsetof(ZRMD, persistence) == 44);
static_assert(offsetof(ZRMD, messageId) == 48);
static_assert(offsetof(ZRMD, correlationId) == 72);
static_assert(offsetof(ZRMD, backoutCount) == 96);
static_assert(offsetof(ZRMD, replyToQueueName) == 100);
static_assert(offsetof(ZRMD, replyToQueueManagerName) == 148);
static_assert(offsetof(ZRMD, userId) == 196);
static_assert(offsetof(ZRMD, accountingToken) == 208);
static_assert(offsetof(ZRMD, applIdData) == 240);
static_assert(offsetof(ZRMD, putApplType) == 272);
static_assert(offsetof(ZRMD, putApplName) == 276);
static_assert(offsetof(ZRMD, putDate) == 304);
static_assert(offsetof(ZRMD, putTime) == 312);
static_assert(offsetof(ZRMD, applOriginData) == 320);
static_assert(offsetof(ZRMD, groupId) == 324);
static_assert(offsetof(ZRMD, sequenceNumber) == 348);
static_assert(offsetof(ZRMD, segmentOffset) == 352);
static_assert(offsetof(ZRMD, messageFlags) == 356);
static_assert(offsetof(ZRMD, originalLength) == 360);

// --- Dead-letter header ----------------------------------------------------

/// The dead-letter header: destination and put details of a message.
struct ZRDLH {
    char strucId[4];
    int32_t version;
    int32_t spareInteger1;
    char destinationQueueName[48];
    char destinationQueueManagerName[48];
    int32_t encoding;
    int32_t codedCharSetId;
    char format[8];
    int32_t spareInteger2;
    char putApplName[28];
    char putDate[8];
    char putTime[8];
};

constexpr char ZRDLH_STRUC_ID[] = "DLH ";
constexpr char ZRDLH_LONG_NAME[] = "ZroDeadLetterHeader";
constexpr int32_t ZRDLH_LENGTH = 172; ///< always: the record has no length field
constexpr int32_t ZRDLH_VERSION_1 = 1;
constexpr int32_t ZRDLH_CURRENT_VERSION = ZRDLH_VERSION_1;

static_assert(std::is_standard_layout<ZRDLH>::value && std::is_trivially_copyable<ZRDLH>::value);
static_assert(sizeof(ZRDLH) == ZRDLH_LENGTH);
static_assert(sizeof(ZRDLH_STRUC_ID) - 1 == sizeof(ZRDLH::strucId));
static_assert(sizeof(ZRDLH::format) == ZRFMT_WIDTH);
static_assert(offsetof(ZRDLH, strucId) == 0);
static_assert(offsetof(ZRDLH, version) == 4);
static_assert(offsetof(ZRDLH, spareInteger1) == 8);
static_assert(offsetof(ZRDLH, destinationQueueName) == 12);
static_assert(offsetof(ZRDLH, destinationQueueManagerName) == 60);
static_assert(offsetof(ZRDLH, encoding) == 108);
static_assert(offsetof(ZRDLH, codedCharSetId) == 112);
static_assert(offsetof(ZRDLH, format) == 116);
static_assert(offsetof(ZRDLH, spareInteger2) == 124);
static_assert(offsetof(ZRDLH, putApplName) == 128);
static_assert(offsetof(ZRDLH, putDate) == 156);
static_assert(offsetof(ZRDLH, putTime) == 164);

// --- KOTA bridge header ----------------------------------------------------

/// The KOTA bridge header, both versions: version 1 is its first 164 bytes.
struct ZRKIH {
    char strucId[4];
    int32_t version;
    int32_t strucLength;
    int32_t encoding;
    int32_t codedCharSetId;
    char format[8];
    int32_t headerFlags;
    int32_t bridgeReturnCode;
    int32_t bridgeCompletionCode;
    int32_t bridgeReasonCode;
    int32_t uowControl;
    int32_t getWaitInterval;
    int32_t linkType;
    int32_t outputDataLength;
    int32_t facilityKeepTime;
    int32_t adsDescriptor;
    int32_t conversationalTask;
    int32_t taskEndStatus;
    unsigned char facilityToken[8];
    char function[4];
    char bridgeAbendCode[4];
    char authenticator[8];
    char spareText1[8];
    char replyToFormat[8];
    char spareText2[4];
    char spareText3[4];
    char transactionId[4];
    char facilityLike[4];
    char attentionId[4];
    char startCode[4];
    char bridgeCancelCode[4];
    char nextTransactionId[4];
    char spareText4[8];
    char spareText5[8];
    // Version 2 from here on.
    int32_t cursorPosition;
    int32_t bridgeErrorOffset;
    int32_t spareInteger1;
    int32_t spareInteger2;
};

constexpr char ZRKIH_STRUC_ID[] = "KIH ";
constexpr char ZRKIH_LONG_NAME[] = "ZroKOTABridgeHeader";
constexpr int32_t ZRKIH_VERSION_1 = 1;
constexpr int32_t ZRKIH_VERSION_2 = 2;
constexpr int32_t ZRKIH_CURRENT_VERSION = ZRKIH_VERSION_2;
constexpr int32_t ZRKIH_LENGTH_1 = 164; ///< bytes of a version-1 header
constexpr int32_t ZRKIH_LENGTH_2 = 180; ///< bytes of a version-2 header
constexpr int32_t ZRKIH_CURRENT_LENGTH = ZRKIH_LENGTH_2;

static_assert(std::is_standard_layout<ZRKIH>::value && std::is_trivially_copyable<ZRKIH>::value);
static_assert(sizeof(ZRKIH) == ZRKIH_CURRENT_LENGTH);
static_assert(offsetof(ZRKIH, cursorPosition) == ZRKIH_LENGTH_1); // version 2 appends only
static_assert(sizeof(ZRKIH_STRUC_ID) - 1 == sizeof(ZRKIH::strucId));
static_assert(sizeof(ZRKIH::format) == ZRFMT_WIDTH);
static_assert(offsetof(ZRKIH, strucId) == 0);
static_assert(offsetof(ZRKIH, version) == 4);
static_assert(offsetof(ZRKIH, strucLength) == 8);
static_assert(offsetof(ZRKIH, encoding) == 12);
static_assert(offsetof(ZRKIH, codedCharSetId) == 16);
static_assert(offsetof(ZRKIH, format) == 20);
static_assert(offsetof(ZRKIH, headerFlags) == 28);
static_assert(offsetof(ZRKIH, bridgeReturnCode) == 32);
static_assert(offsetof(ZRKIH, bridgeCompletionCode) == 36);
static_assert(offsetof(ZRKIH, bridgeReasonCode) == 40);
static_assert(offsetof(ZRKIH, uowControl) == 44);
static_assert(offsetof(ZRKIH, getWaitInterval) == 48);
static_assert(offsetof(ZRKIH, linkType) == 52);
static_assert(offsetof(ZRKIH, outputDataLength) == 56);
static_assert(offsetof(ZRKIH, facilityKeepTime) == 60);
static_assert(offsetof(ZRKIH, adsDescriptor) == 64);
static_assert(offsetof(ZRKIH, conversationalTask) == 68);
static_assert(offsetof(ZRKIH, taskEndStatus) == 72);
static_assert(offsetof(ZRKIH, facilityToken) == 76);
static_assert(offsetof(ZRKIH, function) == 84);
static_assert(offsetof(ZRKIH, bridgeAbendCode) == 88);
static_assert(offsetof(ZRKIH, authenticator) == 92);
static_assert(offsetof(ZRKIH, spareText1) == 100);
static_assert(offsetof(ZRKIH, replyToFormat) == 108);
static_assert(offsetof(ZRKIH, spareText2) == 116);
static_assert(offsetof(ZRKIH, spareText3) == 120);
static_assert(offsetof(ZRKIH, transactionId) == 124);
static_assert(offsetof(ZRKIH, facilityLike) == 128);
static_assert(offsetof(ZRKIH, attentionId) == 132);
static_assert(offsetof(ZRKIH, startCode) == 136);
static_assert(offsetof(ZRKIH, bridgeCancelCode) == 140);
static_assert(offsetof(ZRKIH, nextTransactionId) == 144);
static_assert(offsetof(ZRKIH, spareText4) == 148);
static_assert(offsetof(ZRKIH, spareText5) == 156);
static_assert(offsetof(ZRKIH, cursorPosition) == 164);
static_assert(offsetof(ZRKIH, bridgeErrorOffset) == 168);
static_assert(offsetof(ZRKIH, spareInteger1) == 172);
static_assert(offsetof(ZRKIH, spareInteger2) == 176);

// --- RPX bridge header -----------------------------------------------------

/// The RPX bridge header: terminal, map, reply format and transaction instance.
struct ZRRIH {
    char strucId[4];
    int32_t version;
    int32_t strucLength;
    int32_t encoding;
    int32_t codedCharSetId;
    char format[8];
    int32_t headerFlags;
    char logicalTerminalOverride[8];
    char messageFormatServicesMapName[8];
    char replyToFormat[8];
    char authenticator[8];
    unsigned char transactionInstanceId[16];
    char spareCharacters[4];
};

constexpr char ZRRIH_STRUC_ID[] = "RIH ";
constexpr char ZRRIH_LONG_NAME[] = "ZroRPXBridgeHeader";
constexpr int32_t ZRRIH_LENGTH = 84;
constexpr int32_t ZRRIH_VERSION_1 = 1;
constexpr int32_t ZRRIH_CURRENT_VERSION = ZRRIH_VERSION_1;

static_assert(std::is_standard_layout<ZRRIH>::value && std::is_trivially_copyable<ZRRIH>::value);
static_assert(sizeof(ZRRIH) == ZRRIH_LENGTH);
static_assert(sizeof(ZRRIH_STRUC_ID) - 1 == sizeof(ZRRIH::strucId));
static_assert(sizeof(ZRRIH::format) == ZRFMT_WIDTH);
static_assert(offsetof(ZRRIH, strucId) == 0);
static_assert(offsetof(ZRRIH, version) == 4);
static_assert(offsetof(ZRRIH, strucLength) == 8);
static_assert(offsetof(ZRRIH, encoding) == 12);
static_assert(offsetof(ZRRIH, codedCharSetId) == 16);
static_assert(offsetof(ZRRIH, format) == 20);
static_assert(offsetof(ZRRIH, headerFlags) == 28);
static_assert(offsetof(ZRRIH, logicalTerminalOverride) == 32);
static_assert(offsetof(ZRRIH, messageFormatServicesMapName) == 40);
static_assert(offsetof(ZRRIH, replyToFormat) == 48);
static_assert(offsetof(ZRRIH, authenticator) == 56);
static_assert(offsetof(ZRRIH, transactionInstanceId) == 64);
static_assert(offsetof(ZRRIH, spareCharacters) == 80);

// --- Trigger message -------------------------------------------------------

/// The trigger message: queue, process and data of a trigger.
struct ZRTM {
    char strucId[4];
    int32_t version;
    char queueName[48];
    char processName[48];
    char triggerData[64];
    int32_t spareInteger;
    char applId[256];
    char environmentData[128];
    char userData[128];
};

constexpr char ZRTM_STRUC_ID[] = "TM  ";
constexpr char ZRTM_LONG_NAME[] = "ZroTrigger";
constexpr int32_t ZRTM_LENGTH = 684;
constexpr int32_t ZRTM_VERSION_1 = 1;
constexpr int32_t ZRTM_CURRENT_VERSION = ZRTM_VERSION_1;

static_assert(std::is_standard_layout<ZRTM>::value && std::is_trivially_copyable<ZRTM>::value);
static_assert(sizeof(ZRTM) == ZRTM_LENGTH);
static_assert(sizeof(ZRTM_STRUC_ID) - 1 == sizeof(ZRTM::strucId));
static_assert(offsetof(ZRTM, strucId) == 0);
static_assert(offsetof(ZRTM, version) == 4);
static_assert(offsetof(ZRTM, queueName) == 8);
static_assert(offsetof(ZRTM, processName) == 56);
static_assert(offsetof(ZRTM, triggerData) == 104);
static_assert(offsetof(ZRTM, spareInteger) == 168);
static_assert(offsetof(ZRTM, applId) == 172);
static_assert(offsetof(ZRTM, environmentData) == 428);
static_assert(offsetof(ZRTM, userData) == 556);

/// The trigger message in all-character form, numbers included.
struct ZRTMC2 {
    char strucId[4];
    char version[4];
    char queueName[48];
    char processName[48];
    char triggerData[64];
    char spareInteger[4];
    char applId[256];
    char environmentData[128];
    char userData[128];
    char trailingText[48];
};

constexpr char ZRTMC2_STRUC_ID[] = "TMC ";
constexpr char ZRTMC2_VERSION_TEXT[] = "   2"; ///< the version field, as characters
constexpr int32_t ZRTMC2_LENGTH = 732;

static_assert(std::is_standard_layout<ZRTMC2>::value && std::is_trivially_copyable<ZRTMC2>::value);
static_assert(sizeof(ZRTMC2) == ZRTMC2_LENGTH);
static_assert(sizeof(ZRTMC2_STRUC_ID) - 1 == sizeof(ZRTMC2::strucId));
static_assert(sizeof(ZRTMC2_VERSION_TEXT) - 1 == sizeof(ZRTMC2::version));
static_assert(offsetof(ZRTMC2, strucId) == 0);
static_assert(offsetof(ZRTMC2, version) == 4);
static_assert(offsetof(ZRTMC2, queueName) == 8);
static_assert(offsetof(ZRTMC2, processName) == 56);
static_assert(offsetof(ZRTMC2, triggerData) == 104);
static_assert(offsetof(ZRTMC2, spareInteger) == 168);
static_assert(offsetof(ZRTMC2, applId) == 172);
static_assert(offsetof(ZRTMC2, environmentData) == 428);
static_assert(offsetof(ZRTMC2, userData) == 556);
static_assert(offsetof(ZRTMC2, trailingText) == 684);

// --- Reference header ------------------------------------------------------

/// The fixed part of the reference header; four variable strings follow it.
struct ZRRMH {
    char strucId[4];
    int32_t version;
    int32_t strucLength; ///< fixed part and variable strings together
    int32_t encoding;
    int32_t codedCharSetId;
    char format[8];
    int32_t headerFlags;
    char referenceType[8];
    unsigned char instanceId[24];
    int32_t sourceEnvironmentLength;
    int32_t sourceEnvironmentOffset;
    int32_t sourceNameLength;
    int32_t sourceNameOffset;
    int32_t destinationEnvironmentLength;
    int32_t destinationEnvironmentOffset;
    int32_t destinationNameLength;
    int32_t destinationNameOffset;
    int32_t spareInteger1;
    int32_t spareInteger2;
    int32_t spareInteger3;
};

constexpr char ZRRMH_STRUC_ID[] = "RMH ";
constexpr char ZRRMH_LONG_NAME[] = "ZroReferenceHeader";
constexpr int32_t ZRRMH_FIXED_LENGTH = 108; ///< the least structure length
constexpr int32_t ZRRMH_VERSION_1 = 1;
constexpr int32_t ZRRMH_CURRENT_VERSION = ZRRMH_VERSION_1;

static_assert(std::is_standard_layout<ZRRMH>::value && std::is_trivially_copyable<ZRRMH>::value);
static_assert(sizeof(ZRRMH) == ZRRMH_FIXED_LENGTH);
static_assert(sizeof(ZRRMH_STRUC_ID) - 1 == sizeof(ZRRMH::strucId));
static_assert(sizeof(ZRRMH::format) == ZRFMT_WIDTH);
static_assert(offsetof(ZRRMH, strucId) == 0);
static_assert(offsetof(ZRRMH, version) == 4);
static_assert(offsetof(ZRRMH, strucLength) == 8);
static_assert(offsetof(ZRRMH, encoding) == 12);
static_assert(offsetof(ZRRMH, codedCharSetId) == 16);
static_assert(offsetof(ZRRMH, format) == 20);
static_assert(offsetof(ZRRMH, headerFlags) == 28);
static_assert(offsetof(ZRRMH, referenceType) == 32);
static_assert(offsetof(ZRRMH, instanceId) == 40);
static_assert(offsetof(ZRRMH, sourceEnvironmentLength) == 64);
static_assert(offsetof(ZRRMH, sourceEnvironmentOffset) == 68);
static_assert(offsetof(ZRRMH, sourceNameLength) == 72);
static_assert(offsetof(ZRRMH, sourceNameOffset) == 76);
static_assert(offsetof(ZRRMH, destinationEnvironmentLength) == 80);
static_assert(offsetof(ZRRMH, destinationEnvironmentOffset) == 84);
static_assert(offsetof(ZRRMH, destinationNameLength) == 88);
static_assert(offsetof(ZRRMH, destinationNameOffset) == 92);
static_assert(offsetof(ZRRMH, spareInteger1) == 96);
static_assert(offsetof(ZRRMH, spareInteger2) == 100);
static_assert(offsetof(ZRRMH, spareInteger3) == 104);

// --- Work information header -----------------------------------------------

/// The work information header: service name and step and a message token.
struct ZRWIH {
    char strucId[4];
    int32_t version;
    int32_t strucLength;
    int32_t encoding;
    int32_t codedCharSetId;
    char format[8];
    int32_t headerFlags;
    char serviceName[32];
    char serviceStep[8];
    unsigned char messageToken[16];
    unsigned char spareBytes[32];
};

constexpr char ZRWIH_STRUC_ID[] = "WIH ";
constexpr char ZRWIH_LONG_NAME[] = "ZroWorkHeader";
constexpr int32_t ZRWIH_LENGTH = 120;
constexpr int32_t ZRWIH_VERSION_1 = 1;
constexpr int32_t ZRWIH_CURRENT_VERSION = ZRWIH_VERSION_1;

static_assert(std::is_standard_layout<ZRWIH>::value && std::is_trivially_copyable<ZRWIH>::value);
static_assert(sizeof(ZRWIH) == ZRWIH_LENGTH);
static_assert(sizeof(ZRWIH_STRUC_ID) - 1 == sizeof(ZRWIH::strucId));
static_assert(sizeof(ZRWIH::format) == ZRFMT_WIDTH);
static_assert(offsetof(ZRWIH, strucId) == 0);
static_assert(offsetof(ZRWIH, version) == 4);
static_assert(offsetof(ZRWIH, strucLength) == 8);
static_assert(offsetof(ZRWIH, encoding) == 12);
static_assert(offsetof(ZRWIH, codedCharSetId) == 16);
static_assert(offsetof(ZRWIH, format) == 20);
static_assert(offsetof(ZRWIH, headerFlags) == 28);
static_assert(offsetof(ZRWIH, serviceName) == 32);
static_assert(offsetof(ZRWIH, serviceStep) == 64);
static_assert(offsetof(ZRWIH, messageToken) == 72);
static_assert(offsetof(ZRWIH, spareBytes) == 88);

// --- Get-message options ---------------------------------------------------

/// The get-message options; version 2 is its first 80 bytes, version 3 all 100.
struct ZRGMO {
    char strucId[4];
    int32_t version;
    int32_t options;
    int32_t word12;
    int32_t word16;
    int32_t word20;
    char resolvedQueueName[48];
    int32_t word72;
    char text76[4];
    // Version 3 from here on.
    unsigned char messageToken[16];
    int32_t word96;
};

constexpr char ZRGMO_STRUC_ID[] = "GMO ";
constexpr char ZRGMO_LONG_NAME[] = "ZroGetMessageOptions";
constexpr int32_t ZRGMO_VERSION_1 = 1; ///< the version of the class templates
constexpr int32_t ZRGMO_VERSION_2 = 2;
constexpr int32_t ZRGMO_VERSION_3 = 3;
constexpr int32_t ZRGMO_CURRENT_VERSION = ZRGMO_VERSION_3;
constexpr int32_t ZRGMO_LENGTH_2 = 80;  ///< bytes of the version-2 form
constexpr int32_t ZRGMO_LENGTH_3 = 100; ///< bytes of the version-3 form
constexpr int32_t ZRGMO_CURRENT_LENGTH = ZRGMO_LENGTH_3;

// Option bits of ZRGMO::options that the library reads and writes; every
// other bit belongs to the caller and is carried unchanged.
/// Take the message within the caller's unit of work (sync point participation).
constexpr int32_t ZRGMO_SYNC_POINT = 0x00000002;
/// Take the message outside any unit of work.
constexpr int32_t ZRGMO_NO_SYNC_POINT = 0x00000004;
/// A second bit that also counts as participation; setting participation
/// either way clears it, so that exactly one of the bits above then stands.
constexpr int32_t ZRGMO_SYNC_POINT_ALTERNATE = 0x00001000;

static_assert(std::is_standard_layout<ZRGMO>::value && std::is_trivially_copyable<ZRGMO>::value);
static_assert(sizeof(ZRGMO) == ZRGMO_CURRENT_LENGTH);
static_assert(offsetof(ZRGMO, messageToken) == ZRGMO_LENGTH_2); // version 3 appends only
static_assert(sizeof(ZRGMO_STRUC_ID) - 1 == sizeof(ZRGMO::strucId));
static_assert(offsetof(ZRGMO, strucId) == 0);
static_assert(offsetof(ZRGMO, version) == 4);
static_assert(offsetof(ZRGMO, options) == 8);
static_assert(offsetof(ZRGMO, word12) == 12);
static_assert(offsetof(ZRGMO, word16) == 16);
static_assert(offsetof(ZRGMO, word20) == 20);
static_assert(offsetof(ZRGMO, resolvedQueueName) == 24);
static_assert(offsetof(ZRGMO, word72) == 72);
static_assert(offsetof(ZRGMO, text76) == 76);
static_assert(offsetof(ZRGMO, messageToken) == 80);
static_assert(offsetof(ZRGMO, word96) == 96);

// --- Channel definition ----------------------------------------------------

constexpr int32_t ZRCD_EXIT_NAME_LENGTH = 128;         ///< entry width of a new exit name list
constexpr int32_t ZRCD_EXIT_DATA_LENGTH = 32;          ///< entry width of a new exit user data list
constexpr int32_t ZRCD_HEADER_COMPRESSION_SLOTS = 2;   ///< capacity of the header list
constexpr int32_t ZRCD_MESSAGE_COMPRESSION_SLOTS = 16; ///< capacity of the message list
constexpr int32_t ZRCD_COMPRESSION_UNUSED = -1;        ///< an unused slot; ends a list

/// The client channel definition that a connection hands to the queue manager.
struct ZRCD {
    char channelName[20];
    int32_t word20;
    int32_t word24;
    int32_t transportType;
    char text32[64];
    char text96[48];
    char text144[48];
    char shortConnectionName[20];
    char text212[20];
    char modeName[8];
    char transactionProgramName[64];
    int32_t word304;
    int32_t word308;
    int32_t word312;
    int32_t word316;
    int32_t word320;
    int32_t word324;
    char securityExitName[128];
    char text456[128];
    char text584[128];
    char text712[128];
    int32_t word840;
    int32_t maximumMessageLength;
    int32_t word848;
    int32_t word852;
    char securityUserData[32];
    char text888[32];
    char text920[32];
    char text952[32];
    char userId[12];
    char password[12];
    char text1008[12];
    int32_t word1020;
    char connectionName[264];
    char text1288[12];
    char text1300[12];
    char text1312[128];
    char text1440[32];
    int32_t word1472;
    int32_t word1476;
    int32_t heartBeatInterval;
    int32_t word1484;
    int32_t word1488;
    int32_t recordLength;   ///< sizeof(ZRCD): 1840 with 4-byte pointers
    int32_t exitNameLength; ///< entry width of both exit name lists
    int32_t exitDataLength; ///< entry width of both exit user data lists
    int32_t word1504;
    int32_t sendExitCount;
    int32_t receiveExitCount;
    int32_t word1516;
    int32_t word1520;
    char *sendExitNameList;    ///< sendExitCount entries of exitNameLength bytes
    char *sendExitDataList;    ///< sendExitCount entries of exitDataLength bytes
    char *receiveExitNameList; ///< receiveExitCount entries of exitNameLength bytes
    char *receiveExitDataList; ///< receiveExitCount entries of exitDataLength bytes
    int32_t word1540;
    int32_t word1544;
    int32_t word1548;
    int32_t word1552;
    int32_t word1556;
    int32_t word1560;
    int32_t word1564;
    unsigned char bytes1568[40];
    unsigned char bytes1608[40];
    char sslCipherSpecification[32];
    char *sslPeerNamePointer; ///< sslPeerNameLength characters, no terminator
    int32_t sslPeerNameLength;
    int32_t sslClientAuthentication;
    int32_t keepAliveInterval;
    char localAddress[48];
    int32_t batchHeartBeat;
    int32_t headerCompression[ZRCD_HEADER_COMPRESSION_SLOTS];
    int32_t messageCompression[ZRCD_MESSAGE_COMPRESSION_SLOTS];
    int32_t word1820;
    int32_t word1824;
    int32_t word1828;
    int32_t word1832;
    int32_t word1836;
};

// Five fields of ZRCD are pointers. With 4-byte pointers the record is the
// 1840-byte layout of a 32-bit process. With 8-byte pointers each pointer is
// naturally aligned, so the fields from the first pointer on lie further back
// and the record is 1872 bytes; the fields before it keep their offsets. The
// record length field holds sizeof(ZRCD) of the platform, which tells an
// outside reader which layout it has. Unnamed fields carry their offset in the
// 4-byte layout in their name.

/// What the record length field of a channel definition holds on this platform.
constexpr int32_t ZRCD_LENGTH = static_cast<int32_t>(sizeof(ZRCD));

static_assert(std::is_standard_layout<ZRCD>::value && std::is_trivially_copyable<ZRCD>::value);

// Each field with its offset for 4-byte and for 8-byte pointers.
#if UINTPTR_MAX == 0xFFFFFFFFu
#define ZROI_ZRCD_AT(field, offset4, offset8) static_assert(offsetof(ZRCD, field) == (offset4))
static_assert(sizeof(ZRCD) == 1840);
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu
#define ZROI_ZRCD_AT(field, offset4, offset8) static_assert(offsetof(ZRCD, field) == (offset8))
static_assert(sizeof(ZRCD) == 1872);
#else
#error "the channel definition record is laid out for 4-byte and 8-byte pointers only"
#endif

ZROI_ZRCD_AT(channelName, 0, 0);
ZROI_ZRCD_AT(word20, 20, 20);
ZROI_ZRCD_AT(word24, 24, 24);
ZROI_ZRCD_AT(transportType, 28, 28);
ZROI_ZRCD_AT(text32, 32, 32);
ZROI_ZRCD_AT(text96, 96, 96);
ZROI_ZRCD_AT(text144, 144, 144);
ZROI_ZRCD_AT(shortConnectionName, 192, 192);
ZROI_ZRCD_AT(text212, 212, 212);
ZROI_ZRCD_AT(modeName, 232, 232);
ZROI_ZRCD_AT(transactionProgramName, 240, 240);
ZROI_ZRCD_AT(word304, 304, 304);
ZROI_ZRCD_AT(word308, 308, 308);
ZROI_ZRCD_AT(word312, 312, 312);
ZROI_ZRCD_AT(word316, 316, 316);
ZROI_ZRCD_AT(word320, 320, 320);
ZROI_ZRCD_AT(word324, 324, 324);
ZROI_ZRCD_AT(securityExitName, 328, 328);
ZROI_ZRCD_AT(text456, 456, 456);
ZROI_ZRCD_AT(text584, 584, 584);
ZROI_ZRCD_AT(text712, 712, 712);
ZROI_ZRCD_AT(word840, 840, 840);
ZROI_ZRCD_AT(maximumMessageLength, 844, 844);
ZROI_ZRCD_AT(word848, 848, 848);
ZROI_ZRCD_AT(word852, 852, 852);
ZROI_ZRCD_AT(securityUserData, 856, 856);
ZROI_ZRCD_AT(text888, 888, 888);
ZROI_ZRCD_AT(text920, 920, 920);
ZROI_ZRCD_AT(text952, 952, 952);
ZROI_ZRCD_AT(userId, 984, 984);
ZROI_ZRCD_AT(password, 996, 996);
ZROI_ZRCD_AT(text1008, 1008, 1008);
ZROI_ZRCD_AT(word1020, 1020, 1020);
ZROI_ZRCD_AT(connectionName, 1024, 1024);
ZROI_ZRCD_AT(text1288, 1288, 1288);
ZROI_ZRCD_AT(text1300, 1300, 1300);
ZROI_ZRCD_AT(text1312, 1312, 1312);
ZROI_ZRCD_AT(text1440, 1440, 1440);
ZROI_ZRCD_AT(word1472, 1472, 1472);
ZROI_ZRCD_AT(word1476, 1476, 1476);
ZROI_ZRCD_AT(heartBeatInterval, 1480, 1480);
ZROI_ZRCD_AT(word1484, 1484, 1484);
ZROI_ZRCD_AT(word1488, 1488, 1488);
ZROI_ZRCD_AT(recordLength, 1492, 1492);
ZROI_ZRCD_AT(exitNameLength, 1496, 1496);
ZROI_ZRCD_AT(exitDataLength, 1500, 1500);
ZROI_ZRCD_AT(word1504, 1504, 1504);
ZROI_ZRCD_AT(sendExitCount, 1508, 1508);
ZROI_ZRCD_AT(receiveExitCount, 1512, 1512);
ZROI_ZRCD_AT(word1516, 1516, 1516);
ZROI_ZRCD_AT(word1520, 1520, 1520);
// From the first pointer on, 8-byte pointers move the fields.
ZROI_ZRCD_AT(sendExitNameList, 1524, 1528);
ZROI_ZRCD_AT(sendExitDataList, 1528, 1536);
ZROI_ZRCD_AT(receiveExitNameList, 1532, 1544);
ZROI_ZRCD_AT(receiveExitDataList, 1536, 1552);
ZROI_ZRCD_AT(word1540, 1540, 1560);
ZROI_ZRCD_AT(word1544, 1544, 1564);
ZROI_ZRCD_AT(word1548, 1548, 1568);
ZROI_ZRCD_AT(word1552, 1552, 1572);
ZROI_ZRCD_AT(word1556, 1556, 1576);
ZROI_ZRCD_AT(word1560, 1560, 1580);
ZROI_ZRCD_AT(word1564, 1564, 1584);
ZROI_ZRCD_AT(bytes1568, 1568, 1588);
ZROI_ZRCD_AT(bytes1608, 1608, 1628);
ZROI_ZRCD_AT(sslCipherSpecification, 1648, 1668);
ZROI_ZRCD_AT(sslPeerNamePointer, 1680, 1704);
ZROI_ZRCD_AT(sslPeerNameLength, 1684, 1712);
ZROI_ZRCD_AT(sslClientAuthentication, 1688, 1716);
ZROI_ZRCD_AT(keepAliveInterval, 1692, 1720);
ZROI_ZRCD_AT(localAddress, 1696, 1724);
ZROI_ZRCD_AT(batchHeartBeat, 1744, 1772);
ZROI_ZRCD_AT(headerCompression, 1748, 1776);
ZROI_ZRCD_AT(messageCompression, 1756, 1784);
ZROI_ZRCD_AT(word1820, 1820, 1848);
ZROI_ZRCD_AT(word1824, 1824, 1852);
ZROI_ZRCD_AT(word1828, 1828, 1856);
ZROI_ZRCD_AT(word1832, 1832, 1860);
ZROI_ZRCD_AT(word1836, 1836, 1864);
#undef ZROI_ZRCD_AT

// Every pointer is naturally aligned, whatever its width.
static_assert(offsetof(ZRCD, sendExitNameList) % alignof(char *) == 0 &&
              offsetof(ZRCD, sendExitDataList) % alignof(char *) == 0 &&
              offsetof(ZRCD, receiveExitNameList) % alignof(char *) == 0 &&
              offsetof(ZRCD, receiveExitDataList) % alignof(char *) == 0 &&
              offsetof(ZRCD, sslPeerNamePointer) % alignof(char *) == 0);

#endif // ZROI_ZRODEFS_H
