// Shared helpers of the header tests: received messages held in buffers of
// their exact size, and the pasteIn rows that every fixed-length header
// answers alike (check order, every truncated length, each checked field
// corrupted), asserted with the state the header and message keep.
#ifndef ZROI_TESTS_ZROHDRTEST_HPP
#define ZROI_TESTS_ZROHDRTEST_HPP

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "zroi/zromsg.hpp"
#include "zrotest.hpp"

/// What the tests need to know of a header class.
struct HeaderFacts {
    const char* strucId;    ///< 4 characters
    const char* formatName; ///< 8 characters
    std::string longName;   ///< as in its texts
    unsigned length;        ///< bytes of its record
    unsigned function;      ///< function number of pasteIn's texts
    bool traced;            ///< pasteIn writes entry and exit records
};

/// A message as a get leaves it: `prefix` bytes of other data ('x'), then
/// `length` bytes, in a user buffer of exactly that size so that a read past
/// its end is caught under AddressSanitizer. The data offset stands after the
/// prefix; encoding 546, character set 0, format `format`.
class Received {
public:
    Received(const void* bytes, unsigned length, const char* format, unsigned prefix = 5)
        : storage_(new char[prefix + length])
    {
        std::memset(storage_.get(), 'x', prefix);
        if (length != 0) std::memcpy(storage_.get() + prefix, bytes, length);
        message.useFullBuffer(storage_.get(), prefix + length);
        message.setDataOffset(prefix);
        message.setEncoding(ZRENC_NATIVE);
        message.setCharacterSet(0);
        message.setFormat(format);
    }
    Received(const Received&) = delete;
    Received& operator=(const Received&) = delete;

private:
    std::unique_ptr<char[]> storage_; // declared first: it outlives the message

public:
    ZroMsg message;
};

/// The bytes of the message from `offset` on, for comparing a record.
inline std::vector<unsigned char> messageBytes(const ZroMsg& message, unsigned offset = 0)
{
    const char* start = message.bufferPointer();
    if (start == nullptr || offset >= message.messageLength()) return {};
    return std::vector<unsigned char>(start + offset, start + message.messageLength());
}

/// The 4-byte integer at `offset` of `bytes`, in the machine's byte order.
inline int32_t intAt(const void* bytes, unsigned offset)
{
    int32_t value;
    std::memcpy(&value, static_cast<const char*>(bytes) + offset, sizeof value);
    return value;
}

/// `width` characters at `offset` of `bytes`, as a string (NULs included).
inline std::string charsAt(const void* bytes, unsigned offset, unsigned width)
{
    return std::string(static_cast<const char*>(bytes) + offset, width);
}

class ZroHeaderTest : public ZroTest {
protected:
    /// The texts of a pasteIn refused with `reason`, in order, and their functions.
    static std::vector<std::string> refusalTexts(const HeaderFacts& facts, int32_t reason)
    {
        switch (reason) {
        case ZRRC_STRUC_ID_ERROR:
            return {"ZroItem::structureIdIs (information): structure id is not equal",
                    facts.longName + "::pasteIn (error): wrong structure id"};
        case ZRRC_ENCODING_ERROR:
            return {facts.longName + "::pasteIn (error): wrong message encoding"};
        case ZRRC_FORMAT_ERROR: return {facts.longName + "::pasteIn (error): wrong message format"};
        default: return {"ZroCache::read (error): insufficient data"};
        }
    }
    static std::vector<unsigned> refusalFunctions(const HeaderFacts& facts, int32_t reason)
    {
        switch (reason) {
        case ZRRC_STRUC_ID_ERROR: return {12, facts.function};
        case ZRRC_ENCODING_ERROR:
        case ZRRC_FORMAT_ERROR: return {facts.function};
        default: return {4};
        }
    }

    /// pasteIn of `header` from `message` fails with 2/`reason` and its texts;
    /// the header's record, the message's data offset, length, description
    /// and codes (but for the cache's own 6114) are as they were.
    template <class H>
    void expectRefused(const HeaderFacts& facts, H& header, ZroMsg& message, int32_t reason)
    {
        const auto record = header.record();
        const unsigned offset = message.dataOffset();
        const unsigned length = message.messageLength();
        const std::string format = message.format().dataPointer();
        const int32_t encoding = message.encoding();
        const int32_t characterSet = message.characterSet();
        const int32_t messageCompletion = message.completionCode();
        const int32_t messageReason = message.reasonCode();

        clearEvents();
        EXPECT_EQ(header.pasteIn(message), 0);
        expectCodes(header, ZRCC_FAILED, reason);
        EXPECT_EQ(texts(), refusalTexts(facts, reason));
        EXPECT_EQ(textFunctions(), refusalFunctions(facts, reason));
        if (facts.traced) {
            expectFrame(facts.function, static_cast<unsigned>(reason));
        } else {
            for (const std::string& r : records())
                EXPECT_NE(r, "entry " + std::to_string(facts.function));
        }

        EXPECT_EQ(std::memcmp(&record, &header.record(), sizeof record), 0) << "record changed";
        EXPECT_EQ(message.dataOffset(), offset);
        EXPECT_EQ(message.messageLength(), length);
        EXPECT_STREQ(message.format().dataPointer(), format.c_str());
        EXPECT_EQ(message.encoding(), encoding);
        EXPECT_EQ(message.characterSet(), characterSet);
        if (reason == ZRRC_INSUFFICIENT_DATA)
            expectCodes(message, ZRCC_FAILED, ZRRC_INSUFFICIENT_DATA);
        else
            expectCodes(message, messageCompletion, messageReason);
    }

    /// A header whose record differs from a new one's, to see that a failed
    /// pasteIn leaves it alone.
    template <class H> static H target()
    {
        H header;
        header.setFormat("BEFORE");
        header.setCharacterSet(4321);
        header.setEncoding(-1);
        return header;
    }

    /// pasteIn at every length from 0 to the full record: 6107 below 4 bytes,
    /// the cache's 6114 up to one byte short, success at the full length.
    template <class H> void expectEveryTruncatedLength(const HeaderFacts& facts, const H& valid)
    {
        for (unsigned length = 0; length <= facts.length; ++length) {
            SCOPED_TRACE("data length " + std::to_string(length));
            Received received(&valid.record(), length, facts.formatName);
            H header = target<H>();
            if (length < facts.length) {
                expectRefused(facts, header, received.message,
                              length < 4 ? ZRRC_STRUC_ID_ERROR : ZRRC_INSUFFICIENT_DATA);
                continue;
            }
            clearEvents();
            EXPECT_EQ(header.pasteIn(received.message), 1);
            expectNoText();
            EXPECT_EQ(received.message.dataOffset(), 5 + facts.length);
            EXPECT_EQ(std::memcmp(&header.record(), &valid.record(), facts.length), 0);
        }
    }

    /// Each checked thing spoilt in turn, and the order of the checks: the
    /// structure id (each of its bytes), the encoding, the format (each of
    /// its characters); with several wrong the first in that order decides.
    template <class H> void expectCheckedFieldsRefused(const HeaderFacts& facts, const H& valid)
    {
        for (unsigned i = 0; i < 4; ++i) {
            SCOPED_TRACE("structure id byte " + std::to_string(i));
            std::vector<char> bytes(facts.length);
            std::memcpy(bytes.data(), &valid.record(), facts.length);
            bytes[i] = static_cast<char>(bytes[i] ^ 0x20);
            Received received(bytes.data(), facts.length, facts.formatName);
            H header = target<H>();
            expectRefused(facts, header, received.message, ZRRC_STRUC_ID_ERROR);
        }
        for (int32_t encoding : {0, 273, 545, 547, -546, 0x22020000}) {
            SCOPED_TRACE("encoding " + std::to_string(encoding));
            Received received(&valid.record(), facts.length, facts.formatName);
            received.message.setEncoding(encoding);
            H header = target<H>();
            expectRefused(facts, header, received.message, ZRRC_ENCODING_ERROR);
        }
        for (unsigned i = 0; i < 8; ++i) {
            SCOPED_TRACE("format character " + std::to_string(i));
            std::string format = facts.formatName;
            format[i] = format[i] == ' ' ? 'X' : static_cast<char>(format[i] ^ 0x20);
            Received received(&valid.record(), facts.length, format.c_str());
            H header = target<H>();
            expectRefused(facts, header, received.message, ZRRC_FORMAT_ERROR);
        }
        {
            SCOPED_TRACE("format padded with NUL in place of blanks");
            Received received(&valid.record(), facts.length, facts.formatName);
            char* field = received.message.descriptor().format;
            for (unsigned i = 0; i < 8; ++i)
                if (field[i] == ' ') field[i] = '\0';
            H header = target<H>();
            expectRefused(facts, header, received.message, ZRRC_FORMAT_ERROR);
        }
        {
            SCOPED_TRACE("everything wrong: the structure id decides");
            Received received("NONE", 4, "OTHER");
            received.message.setEncoding(273);
            H header = target<H>();
            expectRefused(facts, header, received.message, ZRRC_STRUC_ID_ERROR);
        }
        {
            SCOPED_TRACE("encoding and format wrong: the encoding decides");
            Received received(&valid.record(), facts.length, "OTHER");
            received.message.setEncoding(273);
            H header = target<H>();
            expectRefused(facts, header, received.message, ZRRC_ENCODING_ERROR);
        }
        {
            SCOPED_TRACE("format wrong and data short: the format decides");
            Received received(&valid.record(), 4, "OTHER");
            H header = target<H>();
            expectRefused(facts, header, received.message, ZRRC_FORMAT_ERROR);
        }
    }
};

#endif // ZROI_TESTS_ZROHDRTEST_HPP
