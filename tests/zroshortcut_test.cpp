// The shortcuts taken while nobody observes give what the traced path gives:
// each case runs once with the fixture's listener and once quiet, and every
// byte, text, storage size and code is compared. Also: the in-place field
// reads against a plain byte loop.
#include <string>
#include <vector>

#include "zroi/zrodlh.hpp"
#include "zroi/zrofields.hpp"
#include "zroi/zromsg.hpp"
#include "zroi/zrorfh.hpp"
#include "zroi/zrostr.hpp"
#include "zrotest.hpp"

namespace {

class ZroShortcutTest : public ZroTest {
protected:
    // Runs `run` traced, then quiet; both must give the same.
    template <class F> void expectSameQuiet(F run)
    {
        const std::vector<std::string> traced = run();
        const bool quietNow = unobserved();
        EXPECT_EQ(run(), traced);
        if (!quietNow) GTEST_SKIP() << "a zrecs trace file is active: the quiet path did not run";
    }
};

std::string codes(const ZroErr& e)
{
    return std::to_string(e.completionCode()) + "/" + std::to_string(e.reasonCode());
}

std::string whole(const ZroStr& s)
{
    return std::string(s.dataPointer() != nullptr ? s.dataPointer() : "", s.storageSize());
}

// A string body measured while it is copied: texts around the 64-byte rounds
// of the copy, NULs inside; the user buffer is compared whole, so a byte
// written beyond the text would show.
TEST_F(ZroShortcutTest, StringBodyCopiedUpToItsNul)
{
    expectSameQuiet([] {
        std::vector<std::string> seen;
        for (unsigned size : {1u, 2u, 15u, 63u, 64u, 65u, 127u, 128u, 129u, 200u})
            for (unsigned nul : {0u, 1u, 63u, 64u, 65u, 128u, 500u}) {
                std::string text(size, 'a');
                for (unsigned i = 0; i < size; ++i) text[i] = static_cast<char>('a' + i % 26);
                if (nul < size) text[nul] = '\0';
                ZroStr body, read("old");
                body.set(text.data(), size);
                std::vector<char> buffer(300, '#');
                ZroMsg message;
                message.useEmptyBuffer(buffer.data(), static_cast<unsigned>(buffer.size()));
                const int wrote = message.writeItem(body);
                const int again = message.setDataOffset(0) + message.readItem(read);
                seen.push_back(std::to_string(wrote) + std::to_string(again) + codes(message) +
                               std::to_string(message.messageLength()) + "|" +
                               std::string(buffer.begin(), buffer.end()) + "|" + whole(read));
            }
        // A message with another format is refused with its text and codes.
        ZroMsg message;
        ZroStr body("abc"), read("kept");
        message.writeItem(body);
        message.setFormat("OTHER");
        seen.push_back(std::to_string(message.setDataOffset(0) + message.readItem(read)) +
                       codes(read) + whole(read));
        return seen;
    });
}

// Reference header texts read into reused strings whose storage is missing,
// fits the text with a NUL, fits it, or is a byte long; NULs put inside.
TEST_F(ZroShortcutTest, ReferenceTextsIntoReusedStrings)
{
    expectSameQuiet([] {
        std::vector<std::string> seen;
        for (unsigned length : {1u, 7u, 8u, 15u, 16u, 17u, 40u})
            for (unsigned nul : {0u, 3u, 14u, 99u})
                for (int storage : {-1, 0, 1, 2}) {
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
                    if (nul < length) // the texts lie back to back behind the fixed part
                        for (unsigned at : {nul, length + nul})
                            message.bufferPointer()[ZRRMH_FIXED_LENGTH + at] = '\0';
                    result += message.setDataOffset(0) + message.readItem(in);
                    seen.push_back(std::to_string(result) + codes(in) + "|" +
                                   whole(in.sourceName()) + codes(in.sourceName()) + "|" +
                                   whole(in.destinationName()) + "|" + codes(message));
                }
        return seen;
    });
}

// fieldText of every text field of a dead-letter header against a byte loop,
// over contents with NULs and blanks at every place of each field.
TEST(ZroShortcutFieldTest, EveryPlaceOfNulAndBlank)
{
    for (const zroi::Field& field : zroi::fields<ZRDLH>()) {
        if (field.kind != zroi::FieldKind::text) continue;
        for (unsigned at = 0; at <= field.width; ++at)
            for (char mark : {'\0', ' '}) {
                std::vector<char> record(sizeof(ZRDLH), 'r');
                char* text = record.data() + field.offset;
                for (unsigned i = 0; i < field.width; ++i)
                    text[i] = i < at ? static_cast<char>('A' + i % 26) : ' ';
                if (at < field.width) text[at] = mark;
                if (at + 2 < field.width) text[at + 2] = 'x';
                std::size_t n = 0;
                while (n < field.width && text[n] != '\0') ++n;
                if (field.trimmed)
                    while (n > 0 && text[n - 1] == ' ') --n;
                EXPECT_EQ(zroi::fieldText(field, record.data()), std::string(text, n))
                    << field.name << " at " << at;
            }
    }
}

} // namespace
