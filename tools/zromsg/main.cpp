// zromsg: shows the chain of items in a message's data, and builds message
// data from a JSON description, with the library's own classes.
//
//   zromsg dump [--format NAME] [--encoding N] [--ccsid N] [--json] FILE|-
//   zromsg compose FILE.json|- -o OUT|-
//   zromsg convert [--from ENCODING:CCSID] [--format NAME] --to ENCODING:CCSID IN|- -o OUT|-
//   zromsg --version
//
// Exit status: 0 done; 1 the chain breaks (dump), the library fails
// (compose) or the data cannot be converted (dump, convert); 2 a usage error, input that cannot be
// read, or a description that is not valid JSON or asks for something the classes cannot do.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "zroi/zrocnv.hpp"
#include "zroi/zroversion.h"
#include "zromsg_core.hpp"

namespace {

const char usage[] =
    "usage: zromsg dump [--format NAME] [--encoding N] [--ccsid N] [--json] FILE|-\n"
    "       zromsg compose FILE.json|- -o OUT|-\n"
    "       zromsg convert [--from ENCODING:CCSID] [--format NAME] --to ENCODING:CCSID\n"
    "                      IN|- -o OUT|-\n"
    "       zromsg --version\n"
    "\n"
    "dump     reads the message data in FILE (- for standard input) and shows its\n"
    "         headers, outermost first, and its body. The first item is the one\n"
    "         --format names (a format name such as ZRDEAD, or a class name such\n"
    "         as ZroDlh), else the one whose structure id starts the data, else\n"
    "         binary data. A structure id in EBCDIC or a record version in normal\n"
    "         (big-endian) byte order marks data of another platform: it is shown\n"
    "         converted, each item with its encoding and character set; --encoding\n"
    "         and --ccsid say what the data is instead. --json writes the same as\n"
    "         one JSON document, which compose takes back. Status 1 when the\n"
    "         chain breaks or the data cannot be converted.\n"
    "compose  builds message data from a JSON description (headers innermost\n"
    "         first, as dump --json writes them) and writes it to OUT; with\n"
    "         \"encoding\" and \"ccsid\" in it, in that form.\n"
    "convert  writes the message data of IN in another encoding and character\n"
    "         set. Without --from the input is recognised as dump does (native\n"
    "         when it has no structure id: give --format for a string body).\n"
    "         Status 0 when written (a format the converter does not know stays\n"
    "         as it is, with a warning), 1 when the data cannot be converted\n"
    "         (nothing is written), 2 for a usage error.\n";

int usageError(const std::string& text)
{
    std::fprintf(stderr, "zromsg: %s\n%s", text.c_str(), usage);
    return 2;
}

bool readInput(const std::string& name, std::string& bytes)
{
    if (name == "-") {
        bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
        return !std::cin.bad();
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

/// The format name that --format NAME means: a class's, or NAME itself.
bool formatArgument(const std::string& name, std::string& format)
{
    if (const zromsg::ItemClass* c = zromsg::findClass(name)) {
        format = c->format;
        return true;
    }
    return zromsg::padFormat(name, format);
}

std::string formatNames()
{
    std::string names;
    for (const zromsg::ItemClass& c : zromsg::itemClasses()) {
        names +=
            std::string("  ") + c.className + "  \"" + c.format + "\"  " + c.description + "\n";
    }
    return names;
}

/// Would compose give these bytes back? Empty when it would, else why not.
std::string roundTrip(const zromsg::json& document, const std::string& input)
{
    std::vector<unsigned char> bytes;
    std::string error;
    if (zromsg::compose(document, bytes, error) != 0) return error;
    if (bytes.size() == input.size() &&
        std::memcmp(bytes.data(), input.data(), input.size()) == 0) {
        return "";
    }
    std::size_t at = 0;
    while (at < bytes.size() && at < input.size() && bytes[at] == (unsigned char)input[at]) ++at;
    std::string where;
    std::vector<zromsg::json> items(document["headers"].begin(), document["headers"].end());
    if (document.contains("body")) items.push_back(document["body"]);
    for (const zromsg::json& item : items) {
        const std::size_t offset = item["offset"].get<std::size_t>();
        if (at >= offset && at - offset < item["length"].get<std::size_t>()) {
            where = ", in the " + item["class"].get<std::string>() + " at offset " +
                    std::to_string(offset);
        }
    }
    return "it gives " + std::to_string(bytes.size()) + " bytes that first differ at offset " +
           std::to_string(at) + where + " (a field that no accessor shows, such as a spare " +
           "field, or one whose getter drops blanks)";
}

/// A decimal 32-bit integer, all of `text`.
bool number(const char* text, int32_t& value)
{
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int32_t>(v);
    return true;
}

/// ENCODING:CCSID.
bool form(const std::string& text, int32_t& encoding, int32_t& ccsid)
{
    const std::size_t colon = text.find(':');
    return colon != std::string::npos && number(text.substr(0, colon).c_str(), encoding) &&
           number(text.substr(colon + 1).c_str(), ccsid);
}

/// Empty when the converter reads and writes this form, else why not.
std::string formUnsupported(int32_t encoding, int32_t ccsid)
{
    if (!ZroCnv::encodingSupported(encoding)) {
        return "encoding " + std::to_string(encoding) +
               ": its lowest hexadecimal digit must be 1 (normal byte order, as 273) or 2 "
               "(reversed, as 546)";
    }
    if (!ZroCnv::characterSetSupported(ccsid)) {
        return "character set " + std::to_string(ccsid) +
               " is not supported (0, 819, 1208, 437, 850, 1252, 37, 273, 285, 297, 500, 1047, "
               "1140, 1141, 1148)";
    }
    return "";
}

int dump(int argc, char** argv)
{
    bool asJson = false;
    bool haveFormat = false;
    bool haveEncoding = false, haveCcsid = false;
    int32_t encoding = ZRENC_NATIVE, ccsid = 0;
    std::string format, file;
    bool haveFile = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--json") {
            asJson = true;
        } else if (arg == "--format") {
            if (i + 1 >= argc) return usageError("--format needs a NAME");
            if (!formatArgument(argv[++i], format)) {
                return usageError("--format " + std::string(argv[i]) +
                                  ": a format name has at most 8 characters; the library's "
                                  "items are\n" +
                                  formatNames());
            }
            haveFormat = true;
        } else if (arg == "--encoding" || arg == "--ccsid") {
            if (i + 1 >= argc || !number(argv[i + 1], arg == "--encoding" ? encoding : ccsid))
                return usageError(arg + " needs a number");
            ++i;
            (arg == "--encoding" ? haveEncoding : haveCcsid) = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (haveFile) {
            return usageError("dump reads one FILE");
        } else {
            file = arg;
            haveFile = true;
        }
    }
    if (!haveFile) return usageError("dump needs a FILE (- for standard input)");

    std::string input;
    if (!readInput(file, input)) {
        std::fprintf(stderr, "zromsg: cannot read %s: %s\n", file.c_str(), std::strerror(errno));
        return 2;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
    const zromsg::Recognised found = zromsg::recognise(bytes, input.size());
    if (!haveEncoding) encoding = found.encoding;
    if (!haveCcsid) ccsid = found.ccsid;
    const bool foreign =
        haveEncoding || haveCcsid ? !(encoding == ZRENC_NATIVE && ccsid == 0) : found.foreign;
    std::vector<unsigned char> native(bytes, bytes + input.size());
    std::string what, problem;
    int converted = 0;
    if (foreign) {
        if (std::string why = formUnsupported(encoding, ccsid); !why.empty())
            return usageError(why);
        what = haveEncoding || haveCcsid
                   ? "encoding " + std::to_string(encoding) + " and character set " +
                         std::to_string(ccsid) + " as given"
                   : found.what;
        const char* first = haveFormat        ? format.c_str()
                            : found.itemClass ? found.itemClass->format
                                              : ZRFMT_NONE;
        converted = zromsg::convertData(native, first, encoding, ccsid, ZRENC_NATIVE, 0, problem);
        if (converted == 2) {
            if (asJson) {
                zromsg::json document = zromsg::json::object();
                document["size"] = input.size();
                document["foreign"] = what;
                document["encoding"] = encoding;
                document["ccsid"] = ccsid;
                document["broken"] = {{"offset", 0}, {"why", "cannot convert: " + problem}};
                std::cout << document.dump(2, ' ', false, zromsg::json::error_handler_t::replace)
                          << "\n";
            } else {
                std::printf("foreign message: %s\n", what.c_str());
            }
            std::fprintf(stderr, "zromsg: %s: cannot convert the data to native form: %s\n",
                         file.c_str(), problem.c_str());
            return 1;
        }
    }
    zromsg::JsonOutput output;
    const int status =
        zromsg::walk(native.data(), native.size(), haveFormat ? format.c_str() : nullptr, output);
    zromsg::json document = output.document();
    if (foreign) {
        document["foreign"] = what + "; shown converted to native form (546, 0), each item marked "
                                     "[...] with its own encoding and character set";
        document["encoding"] = encoding;
        document["ccsid"] = ccsid;
        zromsg::markItems(document, bytes, input.size(), encoding, ccsid);
        if (converted == 1) {
            if (!document.contains("notes")) document["notes"] = zromsg::json::array();
            document["notes"].push_back("conversion stopped with a warning: " + problem +
                                        "; the data from there on is shown as it is");
        }
    }
    if (status == 0) {
        std::string why = roundTrip(document, input);
        if (!why.empty()) {
            if (!document.contains("notes")) document["notes"] = zromsg::json::array();
            document["notes"].push_back("compose of this description does not give these bytes "
                                        "back: " +
                                        why);
        }
    }

    const auto errorHandler = zromsg::json::error_handler_t::replace;
    if (asJson) {
        std::cout << document.dump(2, ' ', false, errorHandler) << "\n";
    } else {
        std::cout << zromsg::renderText(document);
    }
    std::cout.flush();
    if (status != 0 && document.contains("broken")) {
        const zromsg::json& broken = document["broken"];
        std::string line =
            "zromsg: " + file + ": the chain breaks at offset " + broken["offset"].dump();
        if (broken["reasonCode"].get<int32_t>() != 0) {
            line += ": " + broken["reason"].get<std::string>() + " (" +
                    broken["reasonCode"].dump() + ")";
        }
        if (broken["class"].is_string()) {
            line += " reading a " + broken["class"].get<std::string>();
        }
        for (const auto& text : broken["texts"]) line += ": " + text.get<std::string>();
        if (broken["texts"].empty()) line += ": " + broken["why"].get<std::string>();
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    return status;
}

/// Writes `bytes` to the file `out`, or to standard output for "-".
bool writeOutput(const std::string& out, const std::vector<unsigned char>& bytes)
{
    if (out == "-") {
        std::cout.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        return std::cout.good();
    }
    std::ofstream target(out, std::ios::binary | std::ios::trunc);
    target.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    target.close();
    return static_cast<bool>(target);
}

int compose(int argc, char** argv)
{
    std::string file, out;
    bool haveFile = false, haveOut = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-o" || arg == "--output") {
            if (i + 1 >= argc)
                return usageError(arg + " needs a file name (- for standard output)");
            out = argv[++i];
            haveOut = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option " + arg);
        } else if (haveFile) {
            return usageError("compose reads one FILE.json");
        } else {
            file = arg;
            haveFile = true;
        }
    }
    if (!haveFile) return usageError("compose needs a FILE.json (- for standard input)");
    if (!haveOut) return usageError("compose needs -o OUT (- for standard output)");

    std::string text;
    if (!readInput(file, text)) {
        std::fprintf(stderr, "zromsg: cannot read %s: %s\n", file.c_str(), std::strerror(errno));
        return 2;
    }
    // A description is a few levels deep; a deeper document is refused
    // while it is parsed, before anything walks it recursively.
    constexpr int maximumDepth = 32;
    const zromsg::json::parser_callback_t limitDepth = [](int depth, zromsg::json::parse_event_t,
                                                          zromsg::json&) {
        if (depth > maximumDepth) throw std::length_error("nested deeper than 32 levels");
        return true;
    };
    zromsg::json description;
    try {
        description = zromsg::json::parse(text, limitDepth);
    } catch (const zromsg::json::parse_error& e) {
        std::fprintf(stderr, "zromsg: %s is not valid JSON: %s\n", file.c_str(), e.what());
        return 2;
    } catch (const std::length_error& e) {
        std::fprintf(stderr, "zromsg: %s is not a description: %s\n", file.c_str(), e.what());
        return 2;
    }
    std::vector<unsigned char> bytes;
    std::string error;
    int status;
    try {
        status = zromsg::compose(description, bytes, error);
    } catch (const zromsg::json::exception& e) {
        // A value of an unexpected kind that no check above caught.
        error = std::string("the description does not have the expected form: ") + e.what();
        status = 2;
    }
    if (status != 0) {
        std::fprintf(stderr, "zromsg: %s: %s\n", file.c_str(), error.c_str());
        return status;
    }
    if (!writeOutput(out, bytes)) {
        if (out != "-")
            std::fprintf(stderr, "zromsg: cannot write %s: %s\n", out.c_str(),
                         std::strerror(errno));
        return 1;
    }
    return 0;
}

/// A usage error of convert: one line on standard error, status 2.
int convertUsageError(const std::string& text)
{
    std::fprintf(stderr, "zromsg convert: %s (zromsg help shows the usage)\n", text.c_str());
    return 2;
}

int convert(int argc, char** argv)
{
    std::string file, out, format;
    bool haveFile = false, haveOut = false, haveFrom = false, haveTo = false, haveFormat = false;
    int32_t fromEncoding = ZRENC_NATIVE, fromCcsid = 0, toEncoding = 0, toCcsid = 0;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-o" || arg == "--output") {
            if (i + 1 >= argc)
                return convertUsageError(arg + " needs a file name (- for standard output)");
            out = argv[++i];
            haveOut = true;
        } else if (arg == "--from" || arg == "--to") {
            const bool from = arg == "--from";
            if (i + 1 >= argc ||
                !form(argv[i + 1], from ? fromEncoding : toEncoding, from ? fromCcsid : toCcsid))
                return convertUsageError(arg + " needs ENCODING:CCSID, as 273:500");
            ++i;
            (from ? haveFrom : haveTo) = true;
        } else if (arg == "--format") {
            if (i + 1 >= argc) return convertUsageError("--format needs a NAME");
            if (!formatArgument(argv[++i], format))
                return convertUsageError("--format " + std::string(argv[i]) +
                                         ": a format name has at most 8 characters");
            haveFormat = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return convertUsageError("unknown option " + arg);
        } else if (haveFile) {
            return convertUsageError("convert reads one IN");
        } else {
            file = arg;
            haveFile = true;
        }
    }
    if (!haveTo) return convertUsageError("convert needs --to ENCODING:CCSID");
    if (!haveFile) return convertUsageError("convert needs IN (- for standard input)");
    if (!haveOut) return convertUsageError("convert needs -o OUT (- for standard output)");
    if (std::string why = formUnsupported(toEncoding, toCcsid); !why.empty())
        return convertUsageError("--to: " + why);
    if (haveFrom) {
        if (std::string why = formUnsupported(fromEncoding, fromCcsid); !why.empty())
            return convertUsageError("--from: " + why);
    }

    std::string input;
    if (!readInput(file, input)) {
        std::fprintf(stderr, "zromsg: cannot read %s: %s\n", file.c_str(), std::strerror(errno));
        return 2;
    }
    std::vector<unsigned char> data(input.begin(), input.end());
    const zromsg::Recognised found = zromsg::recognise(data.data(), data.size());
    if (!haveFrom) {
        fromEncoding = found.encoding;
        fromCcsid = found.ccsid;
    }
    const char* first = haveFormat        ? format.c_str()
                        : found.itemClass ? found.itemClass->format
                                          : ZRFMT_NONE;
    std::string problem;
    const int status =
        zromsg::convertData(data, first, fromEncoding, fromCcsid, toEncoding, toCcsid, problem);
    if (status == 2) {
        std::fprintf(stderr, "zromsg: %s: cannot convert from %d:%d to %d:%d: %s\n", file.c_str(),
                     fromEncoding, fromCcsid, toEncoding, toCcsid, problem.c_str());
        return 1;
    }
    if (!writeOutput(out, data)) {
        std::fprintf(stderr, "zromsg: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
        return 1;
    }
    if (status == 1) {
        std::fprintf(stderr,
                     "zromsg: %s: warning: %s; the data from there on is written as it "
                     "was\n",
                     file.c_str(), problem.c_str());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return usageError("which command: dump, compose or convert?");
    const std::string command = argv[1];
    try {
        if (command == "dump") return dump(argc, argv);
        if (command == "compose") return compose(argc, argv);
        if (command == "convert") return convert(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "zromsg: out of memory\n");
        return 1;
    }
    if (command == "--version") {
        // The headers the tool was built with, and the library it runs with.
        std::printf("zromsg %s (libzroi %s)\n", ZROI_VERSION_STRING, zroi_version());
        return 0;
    }
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(usage, stdout);
        return 0;
    }
    return usageError("unknown command " + command);
}
