// Tests of zromsg_core: the walker on every truncation and corruption of the
// sample messages (it must report, never crash), and the rules of the
// description that compose takes.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <regex>
#include <sstream>
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
/// or a break inside the data with a reason or a sentence.
void expectReport(const Walked& w, std::size_t length, const std::string& what)
{
    ASSERT_TRUE(w.status == 0 || w.status == 1) << what;
    EXPECT_EQ(w.document["size"], length) << what;
    if (w.status == 0) {
        EXPECT_TRUE(w.document.contains("body")) << what;
        EXPECT_FALSE(w.document.contains("broken")) << what;
    } else {
        ASSERT_TRUE(w.document.contains("broken")) << what;
        const json& broken = w.document["broken"];
        EXPECT_LE(broken["offset"].get<std::size_t>(), length) << what;
        EXPECT_FALSE(broken["why"].get<std::string>().empty()) << what;
        if (broken["reasonCode"] != 0) {
            EXPECT_FALSE(broken["reason"].get<std::string>().empty()) << what;
            EXPECT_FALSE(broken["texts"].empty()) << what;
        }
    }
    // The text form renders every report.
    EXPECT_FALSE(zromsg::renderText(w.document).empty()) << what;
}

TEST(ZromsgWalk, EverySampleRoundTrips)
{
    for (const std::string& name : sampleNames()) {
        std::vector<unsigned char> bytes = sample(name);
        Walked w = walk(bytes, bytes.size(), name == "string" ? ZRFMT_STRING : nullptr);
        ASSERT_EQ(w.status, 0) << name;
        std::vector<unsigned char> again;
        std::string error;
        ASSERT_EQ(zromsg::compose(w.document, again, error), 0) << name << ": " << error;
        EXPECT_EQ(again, bytes) << name;
    }
}

TEST(ZromsgWalk, EveryTruncationIsReported)
{
    for (const std::string& name : sampleNames()) {
        std::vector<unsigned char> bytes = sample(name);
        for (std::size_t length = 0; length <= bytes.size(); ++length) {
            expectReport(walk(bytes, length), length, name + " cut to " + std::to_string(length));
        }
    }
}

TEST(ZromsgWalk, EveryCorruptedByteIsReported)
{
    for (const std::string& name : sampleNames()) {
        const std::vector<unsigned char> original = sample(name);
        for (std::size_t at = 0; at < original.size(); ++at) {
            for (unsigned char value : {0x00, 0xFF, 0x7F}) {
                std::vector<unsigned char> bytes = original;
                bytes[at] = value;
                Walked w = walk(bytes, bytes.size());
                expectReport(w, bytes.size(), name + " byte " + std::to_string(at));
                if (w.status == 0) {
                    // compose answers for every description the walker writes.
                    std::vector<unsigned char> again;
                    std::string error;
                    int status = zromsg::compose(w.document, again, error);
                    EXPECT_TRUE(status == 0 || (status == 2 && !error.empty())) << name << at;
                }
            }
        }
    }
}

TEST(ZromsgWalk, RandomBytesBehindEveryStructureId)
{
    std::mt19937 random(20240601);
    for (const zromsg::ItemClass& c : zromsg::itemClasses()) {
        if (c.strucId == nullptr) continue;
        for (int round = 0; round < 200; ++round) {
            std::vector<unsigned char> bytes(random() % 900);
            for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
            for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i) bytes[i] = c.strucId[i];
            // Small lengths and offsets make the reference header's parts
            // land inside the data now and then.
            if (bytes.size() > 100 && round % 2 == 0) {
                for (std::size_t i = 64; i < 96; i += 4)
                    bytes[i + 1] = bytes[i + 2] = bytes[i + 3] = 0;
            }
            expectReport(walk(bytes, bytes.size()), bytes.size(), c.className);
        }
    }
}

TEST(ZromsgWalk, VersionOneKotaHeaderIsReadWhole)
{
    std::vector<unsigned char> bytes = sample("kota1-binary");
    Walked w = walk(bytes, bytes.size());
    ASSERT_EQ(w.status, 0);
    const json& header = w.document["headers"][0];
    EXPECT_EQ(header["class"], "ZroKih");
    EXPECT_EQ(header["length"], ZRKIH_LENGTH_1);
    EXPECT_EQ(header["fields"]["version"], 1);
    EXPECT_EQ(w.document["body"]["offset"], ZRKIH_LENGTH_1);
    EXPECT_EQ(w.document["body"]["hex"], "c1c2c3c4");
}

TEST(ZromsgWalk, ShortVersionTwoKotaHeaderBreaksWithTheReadersReason)
{
    std::vector<unsigned char> bytes = sample("kota-string");
    Walked w = walk(bytes, 170);
    ASSERT_EQ(w.status, 1);
    const json& broken = w.document["broken"];
    EXPECT_EQ(broken["offset"], 0);
    EXPECT_EQ(broken["class"], "ZroKih");
    EXPECT_EQ(broken["reason"], "ZRRC_INSUFFICIENT_DATA");
    // One attempt's text, not those of the version-1 retry as well.
    EXPECT_EQ(broken["texts"], json::array({"ZroCache::read (error): insufficient data"}));
}

TEST(ZromsgWalk, StructureIdBreakCarriesBothTexts)
{
    std::vector<unsigned char> bytes = sample("reference-kota-string");
    bytes[122] = 'X'; // the KIH behind the reference header
    Walked w = walk(bytes, bytes.size());
    ASSERT_EQ(w.status, 1);
    const json& broken = w.document["broken"];
    EXPECT_EQ(broken["offset"], 122);
    EXPECT_EQ(broken["reasonCode"], ZRRC_STRUC_ID_ERROR);
    EXPECT_EQ(broken["texts"],
              json::array({"ZroItem::structureIdIs (information): structure id is not equal",
                           "ZroKOTABridgeHeader::pasteIn (error): wrong structure id"}));
    // What was read before the break is kept.
    ASSERT_EQ(w.document["headers"].size(), 1u);
    EXPECT_EQ(w.document["headers"][0]["class"], "ZroRfh");
}

TEST(ZromsgWalk, FirstItemByFormatStructureIdOrBinary)
{
    std::vector<unsigned char> bytes = sample("string");
    Walked asGiven = walk(bytes, bytes.size(), "ZRSTR");
    EXPECT_EQ(asGiven.document["body"]["class"], "ZroStr");
    EXPECT_EQ(asGiven.document["formatFrom"], "--format");
    Walked asDefault = walk(bytes, bytes.size());
    EXPECT_EQ(asDefault.document["body"]["class"], "ZroBin");

    std::vector<unsigned char> trigger = sample("trigger");
    EXPECT_EQ(walk(trigger, trigger.size()).document["body"]["class"], "ZroTrg");
    // A format given wins over the structure id.
    EXPECT_EQ(walk(trigger, trigger.size(), ZRFMT_NONE).document["body"]["class"], "ZroBin");
}

TEST(ZromsgWalk, UnknownFormatAndTrailingBytesAreNoted)
{
    std::vector<unsigned char> custom = sample("reference-custom");
    Walked w = walk(custom, custom.size());
    ASSERT_EQ(w.status, 0);
    EXPECT_EQ(w.document["body"]["class"], "unknown");
    EXPECT_EQ(w.document["body"]["format"], "ZRCUSTOM");
    ASSERT_EQ(w.document["notes"].size(), 1u);

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

TEST(ZromsgCompose, HeadersInnermostFirstAndBlankPaddedTexts)
{
    json description = json::parse(R"({
        "body": {"class": "ZroStr", "text": "abc"},
        "headers": [{"class": "ZroKih", "fields": {"startCode": "S"}},
                    {"class": "ZroRfh", "fields": {"sourceName": "n"}}]})");
    std::vector<unsigned char> bytes;
    std::string error;
    ASSERT_EQ(zromsg::compose(description, bytes, error), 0) << error;
    Walked w = walk(bytes, bytes.size());
    ASSERT_EQ(w.status, 0);
    // The reference header was written last: it stands first, and says a
    // KOTA header follows it.
    EXPECT_EQ(w.document["format"], ZRFMT_REFERENCE_HEADER);
    EXPECT_EQ(w.document["headers"][1]["class"], "ZroRfh");
    EXPECT_EQ(w.document["headers"][1]["offset"], 0);
    EXPECT_EQ(w.document["headers"][1]["fields"]["format"], ZRFMT_KOTA_BRIDGE_HEADER);
    EXPECT_EQ(w.document["headers"][0]["fields"]["startCode"], "S   ");
    EXPECT_EQ(w.document["body"]["text"], "abc");
}

TEST(ZromsgCompose, ChainFieldsSetTheMessageBeforeTheHeader)
{
    // A header's format, encoding and character set describe the data
    // behind it; compose hands them to the message, and writeItem to the
    // header. An encoding other than 546 makes a chain that breaks there.
    json description = json::parse(R"({
        "body": {"class": "ZroStr", "text": "abc"},
        "headers": [{"class": "ZroKih"},
                    {"class": "ZroRfh", "fields": {"encoding": 273, "characterSet": 850}}]})");
    std::vector<unsigned char> bytes;
    std::string error;
    ASSERT_EQ(zromsg::compose(description, bytes, error), 0) << error;
    Walked w = walk(bytes, bytes.size());
    ASSERT_EQ(w.status, 1);
    EXPECT_EQ(w.document["headers"][0]["fields"]["characterSet"], 850);
    EXPECT_EQ(w.document["broken"]["reason"], "ZRRC_ENCODING_ERROR");
    EXPECT_EQ(w.document["broken"]["offset"], ZRRMH_FIXED_LENGTH);
}

TEST(ZromsgCompose, RefusalsSayWhatAndWhere)
{
    struct Case {
        const char* description;
        const char* expected;
    } cases[] = {
        {R"({"body": {"class": "ZroStr", "text": "a"}, "headers": [{"class": "ZroKih",
            "fields": {"function": "ABCD"}}]})",
         "headers[0] (ZroKih): ZroKih field \"function\" has no setter"},
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
    ASSERT_TRUE(in.good());
    std::stringstream text;
    text << in.rdbuf();
    const std::string defs = text.str();
    const std::regex constant(R"(constexpr int32_t (ZRRC_\w+) = (\d+);)");
    int count = 0;
    for (std::sregex_iterator it(defs.begin(), defs.end(), constant), end; it != end; ++it) {
        EXPECT_STREQ(zromsg::reasonName(std::stoi((*it)[2])), (*it)[1].str().c_str());
        ++count;
    }
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
