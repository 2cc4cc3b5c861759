// Completion and reason codes of zroi, and the records it reads and writes.
//
// Every object of the library carries a completion code (ZRCC_*) and a reason
// code (ZRRC_*). Operations never throw for bad input: they leave both codes
// on the object they were called on, write one diagnostic text to the zrecs
// trace and return 0 (or 1 with a warning).
//
//     ZroCac cache;
//     if (!cache.write(n, data))
//         std::printf("failed: %d/%d\n", cache.completionCode(), cache.reasonCode());
//
// The records below are the byte layouts of the middleware. Integers are
// 32-bit in the machine's byte order; character fields are fixed width and
// carry no terminator.
#ifndef ZROI_ZRODEFS_H
#define ZROI_ZRODEFS_H

#include <cstddef>
#include <cstdint>

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

/// The component number of every trace record and text of the library.
constexpr unsigned ZRO_TRACE_COMPONENT = 31;

/// The native encoding that every item writes and every header requires.
constexpr int32_t ZRENC_NATIVE = 546;

#endif // ZROI_ZRODEFS_H
