// Tests of zromsg_core: the walker on every truncation and corruption of the
// sample messages (it must report, never crash), and the rules of the
// description that compose takes.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "zroi/zrodefs.h"
#include "zromsg_core.hpp"

namespace {

using zromsg::json;

std::vector<unsigned char> sample(const std::string& name)
{
    std::ifstream in(std::string(ZROMSG_SAMPLES) + "/" + name + ".bin", std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

/// Every sample message: each NAME.json of the folder, with its NAME.bin.
std::vector<std::string> sampleNames()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(ZROMSG_SAMPLES)) {
        if (entry.path().extension() == ".json") names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_GE(names.size(), 12u);
    return names;
}

struct Walked {
    int status;
    json document;
};

Walked walk(const std::vector<unsigned char>& bytes, std::size_t length,
            const char* format = nullptr)
{
    zromsg::JsonOutput output;
    int status = zromsg::walk(bytes.data(), length, format, output);
    return {status, output.document()};
}

/// What every walk must give, whatever the bytes: a chain read to a body,
/// or a break inside the data with a reason or a sentence; and a text form.
void expectReport(const Walked& w, std::size_t length, const std::string& what)
{
    SCOPED_TRACE(what);
    ASSERT_TRUE(w.status == 0 || w.status == 1);
    const json& d = w.document;
    EXPECT_EQ(d["size"], length);
    EXPECT_EQ(d.contains("body"), w.status == 0);
    EXPECT_EQ(d.contains("broken"), w.status == 1);
    if (w.status == 1) {
        EXPECT_LE(d["broken"]["offset"].get<std::size_t>(), length);
        EXPECT_FALSE(d["broken"]["why"].get<std::string>().empty());
        const bool named =
            d["broken"]["reasonCode"] == 0 ||
            !(d["broken"]["reason"].get<std::string>().empty() || d["broken"]["texts"].empty());
        EXPECT_TRUE(named);
    }
    EXPECT_FALSE(zromsg::renderText(d).empty());
}

TEST(ZromsgWalk, EveryTruncationAndCorruptedByteIsReported)
{
    for (const std::string& name : sampleNames()) {
        const std::vector<unsigned char> original = sample(name);
        for (std::size_t length = 0; length <= original.size(); ++length)
            expectReport(walk(original, length), length,
                         name + " cut to " + std::to_string(length));
        for (std::size_t at = 0; at < original.size(); ++at) {
            for (unsigned char value : {0x00, 0xFF, 0x7F}) {
                std::vector<unsigned char> bytes = original;
                bytes[at] = value;
                const Walked w = walk(bytes, bytes.size());
                expectReport(w, bytes.size(), name + " byte " + std::to_string(at));
                // compose answers for every description the walker writes.
                std::vector<unsigned char> again;
                std::string error;
                const int status = w.status == 0 ? zromsg::compose(w.document, again, error) : 0;
                EXPECT_TRUE(status == 0 || (status == 2 && !error.empty())) << name << at;
            }
        }
    }
}

TEST(ZromsgWalk, WhatTheWalkReports)
{
    // A sample cut to `length` (0: whole), byte `at` (-1: none) made 'X',
    // walked with `format`: the status, and the report's value at each
    // JSON pointer of `expected`.
    struct Case {
        const char* sample;
        std::size_t length;
        int at;
        const char* format;
        int status;
        const char* expected;
    } cases[] = {
        // A short version-2 KOTA header: one attempt's text, not those of a
        // version-1 retry as well.
        {"kota-string", 170, -1, nullptr, 1,
         R"({"/broken/offset": 0, "/broken/class": "ZroKih", "/broken/texts":
             ["ZroCache::read (error): insufficient data"]})"},
        // A wrong structure id behind a reference header: both texts, and
        // what was read before the break.
        {"reference-kota-string", 0, 122, nullptr, 1,
         R"({"/broken/offset": 122, "/broken/reason": "ZRRC_STRUC_ID_ERROR", "/broken/texts":
             ["ZroItem::structureIdIs (information): structure id is not equal",
              "ZroKOTABridgeHeader::pasteIn (error): wrong structure id"],
             "/headers/0/class": "ZroRfh", "/headers/1": null})"},
        // The first item by the format given, over the structure id.
        {"string", 0, -1, "ZRSTR", 0, R"({"/body/class": "ZroStr", "/formatFrom": "--format"})"},
        {"trigger", 0, -1, ZRFMT_NONE, 0, R"({"/body/class": "ZroBin"})"},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> bytes = sample(c.sample);
        if (c.at >= 0) bytes[static_cast<std::size_t>(c.at)] = 'X';
        const Walked w = walk(bytes, c.length != 0 ? c.length : bytes.size(), c.format);
        EXPECT_EQ(w.status, c.status) << c.sample;
        const json expected = json::parse(c.expected);
        for (const auto& [pointer, value] : expected.items()) {
            const json::json_pointer at(pointer);
            EXPECT_EQ(w.document.contains(at) ? w.document[at] : json(), value)
                << c.sample << " " << pointer;
        }
    }
}

TEST(ZromsgWalk, TrailingBytesAreNotedAndRefusedByCompose)
{
    std::vector<unsigned char> trigger = sample("trigger");
    trigger.push_back('x');
    Walked t = walk(trigger, trigger.size());
    ASSERT_EQ(t.status, 0);
    EXPECT_EQ(t.document["body"]["length"], ZRTM_LENGTH);
    ASSERT_EQ(t.document["notes"].size(), 1u);
    std::vector<unsigned char> again;
    std::string error;
    EXPECT_EQ(zromsg::compose(t.document, again, error), 2);
    EXPECT_NE(error.find("described with size 685, but compose makes it 684"), std::string::npos)
        << error;
}

TEST(ZromsgCompose, HeadersInnermostFirstAndTheirDescriptionsHandedOn)
{
    // The reference header is written last: it stands first and says a KOTA
    // header follows. Its encoding and character set describe the data
    // behind it: compose hands them to the message, and writeItem to the
    // header; an encoding other than 546 makes a chain that breaks there.
    json description = json::parse(R"({
        "body": {"class": "ZroStr", "text": "abc"},
        "headers": [{"class": "ZroKih", "fields": {"startCode": "S"}},
                    {"class": "ZroRfh", "fields": {"sourceName": "n"}}]})");
    for (int encoding : {546, 273}) {
        description["headers"][1]["fields"]["encoding"] = encoding;
        description["headers"][1]["fields"]["characterSet"] = 850;
        std::vector<unsigned char> bytes;
        std::string error;
        ASSERT_EQ(zromsg::compose(description, bytes, error), 0) << error;
        const json d = walk(bytes, bytes.size()).document;
        // Headers are reported innermost first, as compose takes them.
        const json& rfh = d["headers"][encoding == 546 ? 1 : 0];
        EXPECT_EQ(d["format"], ZRFMT_REFERENCE_HEADER);
        EXPECT_EQ(rfh["class"], "ZroRfh");
        EXPECT_EQ(rfh["offset"], 0);
        EXPECT_EQ(rfh["fields"]["format"], ZRFMT_KOTA_BRIDGE_HEADER);
        EXPECT_EQ(rfh["fields"]["characterSet"], 850);
        if (encoding == 273) {
            EXPECT_EQ(d["broken"]["reason"], "ZRRC_ENCODING_ERROR");
            EXPECT_EQ(d["broken"]["offset"], rfh["length"]);
            continue;
        }
        EXPECT_EQ(d["headers"][0]["fields"]["startCode"], "S   ");
        EXPECT_EQ(d["body"]["text"], "abc");
    }
}

TEST(ZromsgCompose, RefusalsSayWhatAndWhere)
{
    struct Case {
        const char* description;
        const char* expected;
    } cases[] = {
        {R"({"body": {"class": "ZroStr", "text": "a"}, "headers": [{"class": "ZroKih"},
            {"class": "ZroRfh", "fields": {"format": "TOOLONGNAME"}}]})",
         "headers[1] (ZroRfh): ZroRfh field \"format\": a format name has at most 8 characters"},
        {R"({"body": {"class": "ZroStr", "text": "a"}, "headers": [{"class": "ZroRfh",
            "offset": 4}]})",
         "headers[0]: described with offset 4, but compose makes it 0"},
        {R"({"body": {"class": "ZroStr", "text": "a"}, "format": "ZRDEAD"})",
         "gives the message's format as \"ZRDEAD\", but its outermost item makes it \"ZRSTR   \""},
        {R"({"body": {"class": "ZroTrg", "characterForm": {}}})",
         "ZroTrg \"characterForm\" is not the one the fields give"},
        {R"({"body": {"class": "unknown", "hex": "00"}})", "needs the \"format\""},
        {R"({"body": {"class": "ZroBin", "hex": "zz"}})", "no hex digit at position 0"},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> bytes;
        std::string error;
        EXPECT_EQ(zromsg::compose(json::parse(c.description), bytes, error), 2) << c.description;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
        EXPECT_TRUE(bytes.empty());
    }
}

TEST(ZromsgReason, EveryReasonCodeOfTheLibraryHasItsName)
{
    // The names come from a table in the tool; every ZRRC_ constant of
    // zrodefs.h must be in it, under its own name.
    std::ifstream in(ZROMSG_DEFS);
    const std::string defs{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::regex constant(R"(constexpr int32_t (ZRRC_\w+) = (\d+);)");
    int count = 0;
    for (std::sregex_iterator it(defs.begin(), defs.end(), constant), end; it != end; ++it, ++count)
        EXPECT_STREQ(zromsg::reasonName(std::stoi((*it)[2])), (*it)[1].str().c_str());
    EXPECT_GE(count, 20);
    EXPECT_STREQ(zromsg::reasonName(1), "");
}

TEST(ZromsgText, InvalidUtf8TravelsAsHex)
{
    const char latin1[] = "caf\xe9";
    json text = zromsg::textJson(latin1, 4);
    EXPECT_EQ(text, json::parse(R"({"hex": "636166e9"})"));
    std::string bytes, error;
    ASSERT_TRUE(zromsg::textFromJson(text, bytes, error));
    EXPECT_EQ(bytes, std::string(latin1, 4));
    EXPECT_EQ(zromsg::textJson("caf\xc3\xa9", 5), "caf\xc3\xa9");
    // Overlong forms and surrogates are no UTF-8.
    EXPECT_TRUE(zromsg::textJson("\xc0\xaf", 2).is_object());
    EXPECT_TRUE(zromsg::textJson("\xed\xa0\x80", 3).is_object());
}

} // namespace
