// zromsg: shows the chain of items in a message's data, and builds message
// data from a JSON description, with the library's own classes.
//
//   zromsg dump [--format NAME] [--json] FILE|-
//   zromsg compose FILE.json|- -o OUT|-
//   zromsg --version
//
// Exit status: 0 done; 1 the chain breaks (dump) or the library fails
// (compose); 2 a usage error, input that cannot be read, or a description
// that is not valid JSON or asks for something the classes cannot do.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "zroi/zroversion.h"
#include "zromsg_core.hpp"

namespace {

const char usage[] =
    "usage: zromsg dump [--format NAME] [--json] FILE|-\n"
    "       zromsg compose FILE.json|- -o OUT|-\n"
    "       zromsg --version\n"
    "\n"
    "dump     reads the message data in FILE (- for standard input) and shows its\n"
    "         headers, outermost first, and its body. The first item is the one\n"
    "         --format names (a format name such as ZRDEAD, or a class name such\n"
    "         as ZroDlh), else the one whose structure id starts the data, else\n"
    "         binary data. --json writes the same as one JSON document, which\n"
    "         compose takes back. Status 1 when the chain breaks.\n"
    "compose  builds message data from a JSON description (headers innermost\n"
    "         first, as dump --json writes them) and writes it to OUT.\n";

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

int dump(int argc, char** argv)
{
    bool asJson = false;
    bool haveFormat = false;
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
    zromsg::JsonOutput output;
    const int status = zromsg::walk(reinterpret_cast<const unsigned char*>(input.data()),
                                    input.size(), haveFormat ? format.c_str() : nullptr, output);
    zromsg::json document = output.document();
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
    if (out == "-") {
        std::cout.write(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<std::streamsize>(bytes.size()));
        std::cout.flush();
        return std::cout.good() ? 0 : 1;
    }
    std::ofstream target(out, std::ios::binary | std::ios::trunc);
    target.write(reinterpret_cast<const char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()));
    target.close();
    if (!target) {
        std::fprintf(stderr, "zromsg: cannot write %s: %s\n", out.c_str(), std::strerror(errno));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return usageError("which command: dump or compose?");
    const std::string command = argv[1];
    try {
        if (command == "dump") return dump(argc, argv);
        if (command == "compose") return compose(argc, argv);
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
