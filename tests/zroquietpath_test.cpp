// With nobody observing, the library takes shortcuts of its own (the
// description handed over word by word, room found without the traced cache
// calls, texts read into strings in place, string bodies measured while they
// are copied). Each case here runs once with the fixture's listener and once
// quiet; every byte, text, storage size and code must be the same.
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "zroi/zroi.hpp"
#include "zrotest.hpp"

namespace {

using Seen = std::vector<std::string>;

class ZroQuietPathTest : public ZroTest {
protected:
    // Runs `run` traced, then quiet; both must give the same.
    template <class F> void expectSameQuiet(F run)
    {
        const Seen traced = run();
        EXPECT_FALSE(records().empty());
        const bool quietNow = unobserved();
        const Seen quiet = run();
        ASSERT_EQ(quiet.size(), traced.size());
        for (std::size_t i = 0; i < quiet.size(); ++i) EXPECT_EQ(quiet[i], traced[i]) << i;
        if (!quietNow) GTEST_SKIP() << "a zrecs trace file is active: the quiet path did not run";
    }
};

std::string whole(const ZroStr& s)
{
    return std::string(s.dataPointer() != nullptr ? s.dataPointer() : "", s.storageSize());
}

template <class R> std::string bytesOf(const R& r)
{
    return std::string(reinterpret_cast<const char*>(&r), sizeof r);
}

// A step's result, the item's codes, and all an application sees of the message.
std::string step(const ZroMsg& message, const ZroErr& item, int result)
{
    std::string s = std::to_string(result) + "/" + codesText(item) + "|";
    if (message.bufferPointer() != nullptr)
        s.append(message.bufferPointer(), message.messageLength());
    return s + bytesOf(message.descriptor()) + "|" + std::to_string(message.dataOffset()) + "/" +
           std::to_string(message.messageLength()) + "/" + std::to_string(message.bufferLength());
}

TEST_F(ZroQuietPathTest, HeaderChainsAndTheirFailures)
{
    expectSameQuiet([] {
        Seen t;
        ZroStr body{"body text, some 32 bytes of it.."};
        ZroWih wih, inWih;
        ZroRfh rfh, inRfh;
        ZroDlh dlh, inDlh;
        ZroKih kih, inKih;
        ZroRih rih, inRih;
        Renaming<ZroDlh> renamed;
        Renaming<ZroRfh> renamedRfh;
        rfh.setSourceEnvironment("src.env");
        rfh.setSourceName("a source name of some length");
        dlh.setDestinationQueueName("QUEUE");
        ZroMsg message;
        const auto write = [&](ZroItm& i) { t.push_back(step(message, i, message.writeItem(i))); };
        const auto read = [&](ZroItm& i) { t.push_back(step(message, i, message.readItem(i))); };
        // The chain into one message (a fresh buffer, then reuse), each time
        // read back into the same objects; formats of 8 characters, shorter
        // ones and one holding a blank; the reference header's texts of
        // other lengths each time (one byte long too), its last one ending
        // in front of the data.
        for (const char* format : {"APPLFMT1", "F", "AF", "A B"}) {
            message.setFormat(format);
            message.setEncoding(546);
            message.setCharacterSet(1208);
            message.setMessageLength(0);
            for (ZroItm* i : std::vector<ZroItm*>{&body, &wih, &rfh, &dlh}) write(*i);
            message.setDataOffset(0);
            for (ZroItm* i : std::vector<ZroItm*>{&inDlh, &inRfh, &inWih, &body}) read(*i);
            for (const ZroStr& s : {inRfh.sourceEnvironment(), inRfh.sourceName(),
                                    inRfh.destinationEnvironment(), inRfh.destinationName()})
                t.push_back(whole(s));
            t.push_back(bytesOf(inWih.record()) + bytesOf(inDlh.record()) +
                        bytesOf(inRfh.record()));
            rfh.setSourceName(format);
            rfh.setDestinationName(format);
        }
        // The other two on a body of their own, read back, then a header
        // that is not there.
        message.setMessageLength(0);
        for (ZroItm* i : std::vector<ZroItm*>{&body, &kih, &rih}) write(*i);
        message.setDataOffset(0);
        for (ZroItm* i : std::vector<ZroItm*>{&inRih, &inKih, &inDlh}) read(*i);
        t.push_back(bytesOf(inKih.record()) + bytesOf(inRih.record()));
        // A user buffer with no room for the header in front: refused.
        char user[ZRDLH_LENGTH + 8] = "data";
        message.useFullBuffer(user, 8);
        write(dlh);
        write(wih);
        // A reference header whose last text (4 to 16 bytes) ends right in
        // front of an empty message's end, in a user buffer whose next byte
        // must stay as it was.
        for (const char* last : {"1234", "1234567", "12345678", "0123456789abcdef"}) {
            rfh.setDestinationName(last);
            std::vector<char> canary(200, '#');
            ZroMsg empty;
            empty.useEmptyBuffer(canary.data(), 199);
            t.push_back(step(empty, rfh, empty.writeItem(rfh)) + canary[empty.messageLength()]);
        }
        // Each header in front of no data and of one byte of data described
        // as 273/-850 (every byte of the character set's word in use; a
        // format ended by NULs, unlike the one before it from its first
        // letter on), in a buffer with room and in one that must grow, read
        // back with the structure id spoilt, then the encoding, then the
        // format's last byte, then as written; derived classes' headers too.
        for (ZroHdr* h : std::vector<ZroHdr*>{&wih, &rfh, &dlh, &kih, &rih, &renamed, &renamedRfh})
            for (unsigned variant = 0; variant < 4; ++variant) {
                ZroMsg alone;
                if (variant < 2) alone.resizeBuffer(400);
                alone.write(variant % 2, "b");
                alone.setEncoding(273);
                alone.setCharacterSet(-850);
                alone.setFormat("RAW DATA");
                if (variant % 2 == 1) std::memcpy(alone.descriptor().format, "BIN\0\0\0\0", 8);
                t.push_back(step(alone, *h, alone.writeItem(*h)));
                char written[8];
                std::memcpy(written, alone.descriptor().format, 8);
                // A structure id wrong in its last byte only, by one.
                alone.setDataOffset(0);
                EXPECT_GE(alone.messageLength(), 4u);
                if (alone.messageLength() >= 4) {
                    ++alone.bufferPointer()[3];
                    t.push_back(step(alone, *h, alone.readItem(*h)));
                    --alone.bufferPointer()[3];
                }
                for (bool encoding : {true, false}) {
                    alone.setDataOffset(0);
                    alone.setEncoding(encoding ? 273 : 546);
                    if (!encoding) ++alone.descriptor().format[7]; // wrong in its last byte
                    t.push_back(step(alone, *h, alone.readItem(*h)));
                }
                // Described as written, read back: the data described as before.
                alone.setDataOffset(0);
                std::memcpy(alone.descriptor().format, written, 8);
                t.push_back(step(alone, *h, alone.readItem(*h)));
            }
        // Headers cut short, read from every length below their own.
        ZroMsg full;
        full.writeItem(body);
        full.writeItem(rfh);
        full.writeItem(dlh);
        const std::string all(full.bufferPointer(), full.messageLength());
        for (unsigned n = 0; n < unsigned{ZRDLH_LENGTH + ZRRMH_FIXED_LENGTH + 40}; n += 7) {
            ZroMsg cut;
            cut.useFullBuffer(const_cast<char*>(all.data()), n);
            cut.setFormat(ZRFMT_DEAD_LETTER_HEADER);
            t.push_back(step(cut, inDlh, cut.readItem(inDlh)));
            t.push_back(step(cut, inRfh, cut.readItem(inRfh)) + whole(inRfh.sourceName()));
        }
        return t;
    });
}

// A string body measured while it is copied: texts around the 16-byte steps
// and 64-byte rounds of the copy, NULs inside; the user buffer is compared
// whole, so a byte written beyond the text would show.
TEST_F(ZroQuietPathTest, StringBodyCopiedUpToItsNul)
{
    expectSameQuiet([] {
        Seen seen;
        for (unsigned size :
             {1u, 2u, 15u, 17u, 20u, 31u, 32u, 33u, 40u, 63u, 64u, 65u, 128u, 129u, 200u})
            for (unsigned nul : {0u, 1u, 16u, 17u, 31u, 33u, 63u, 64u, 65u, 128u, 500u}) {
                std::string text = letters(size);
                if (nul < size) text[nul] = '\0';
                ZroStr body, read("old");
                // The second set finds storage of the size it needs.
                const int set = body.set(text.data(), size) + body.set(text.data(), size);
                std::vector<char> buffer(300, '#');
                ZroMsg message;
                message.useEmptyBuffer(buffer.data(), static_cast<unsigned>(buffer.size()));
                const int wrote = message.writeItem(body);
                const int again = message.setDataOffset(0) + message.readItem(read);
                seen.push_back(std::to_string(set) + std::to_string(wrote) + std::to_string(again) +
                               codesText(message) + std::to_string(message.messageLength()) + "|" +
                               std::string(buffer.begin(), buffer.end()) + "|" + whole(read));
            }
        // A string written into a buffer that is its own storage a byte on:
        // the text moves a byte, as between overlapping ranges it must.
        const std::string text = letters(200);
        ZroStr inPlace(text.c_str());
        ZroMsg shifted;
        shifted.useEmptyBuffer(const_cast<char*>(inPlace.dataPointer()) + 1, 200);
        EXPECT_EQ(shifted.writeItem(inPlace), 1);
        EXPECT_EQ(std::string(shifted.bufferPointer(), shifted.messageLength()), text);
        // A message with another format is refused with its text and codes.
        ZroMsg message;
        ZroStr body("abc"), read("kept");
        message.writeItem(body);
        message.setFormat("OTHER");
        seen.push_back(std::to_string(message.setDataOffset(0) + message.readItem(read)) +
                       codesText(read) + whole(read));
        return seen;
    });
}

// Reference header texts read into reused strings whose storage is missing,
// fits the text with a NUL, fits it, or is a byte long; NULs put inside.
TEST_F(ZroQuietPathTest, ReferenceTextsIntoReusedStrings)
{
    expectSameQuiet([] {
        Seen seen;
        for (unsigned length : {1u, 7u, 8u, 15u, 16u, 17u, 40u, 48u})
            for (unsigned nul : {0u, 3u, 14u, 99u})
                for (int storage : {-1, 0, 1, 2})
                    for (int32_t cut : {0, 1}) { // a structure length short of the last text
                        std::string text(length, 't');
                        for (unsigned i = 0; i < length; ++i) text[i] = static_cast<char>('a' + i);
                        ZroRfh out, in;
                        out.setSourceName(text.c_str());
                        out.setDestinationName(text.c_str());
                        if (storage >= 0) {
                            const std::string old(length + static_cast<unsigned>(storage), 'o');
                            in.setSourceName(old.substr(1).c_str());
                            in.setDestinationName(old.c_str());
                        }
                        ZroMsg message;
                        ZroStr body("body");
                        int result = message.writeItem(body) + message.writeItem(out);
                        char* record = message.bufferPointer();
                        if (nul < length) // the texts lie back to back behind the fixed part
                            for (unsigned at : {nul, length + nul})
                                record[ZRRMH_FIXED_LENGTH + at] = '\0';
                        const int32_t strucLength = ZRRMH_FIXED_LENGTH + 2 * length - cut;
                        std::memcpy(record + offsetof(ZRRMH, strucLength), &strucLength, 4);
                        result += message.setDataOffset(0) + message.readItem(in);
                        seen.push_back(std::to_string(result) + codesText(in) + "|" +
                                       whole(in.sourceName()) + codesText(in.sourceName()) + "|" +
                                       whole(in.destinationName()) + "|" + codesText(message));
                    }
        // Storage that a text with a NUL inside fills to its last byte, then a
        // text one byte shorter without a NUL: below, within and above the
        // lengths copied a word at a time.
        ZroRfh in;
        for (unsigned full : {6u, 12u, 20u})
            for (unsigned length : {full, full - 1}) {
                ZroRfh out;
                out.setSourceName(letters(length).c_str());
                ZroMsg message;
                int result = message.writeItem(out);
                if (length == full) message.bufferPointer()[ZRRMH_FIXED_LENGTH + 2] = '\0';
                result += message.setDataOffset(0) + message.readItem(in);
                seen.push_back(std::to_string(result) + "|" + whole(in.sourceName()));
            }
        return seen;
    });
}

} // namespace
