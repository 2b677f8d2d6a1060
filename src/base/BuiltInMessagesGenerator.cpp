// Writes the English message table as C++ source (see BuiltInMessages.h):
//   qv_builtin_messages TABLE.json OUT.cpp
// Run by the build; a table that does not parse fails the build.

#include <rapidjson/document.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

namespace {

// A C++ string literal of any bytes: octal escapes of three digits, so that
// a digit after one is never read into it.
std::string literal(const std::string& bytes) {
    std::string out = "\"";
    for (const unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\' && c != '?') {
            out += char(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%03o", c);
            out += escape;
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TABLE.json OUT.cpp\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    rapidjson::Document document;
    document.Parse(json.c_str(), json.size());
    if (!in || document.HasParseError() || !document.IsObject()) {
        std::fprintf(stderr, "%s: not a JSON object of texts\n", argv[1]);
        return 1;
    }
    // A key given twice keeps its last text, as a table read at run time would.
    std::map<std::string, std::string> texts;
    for (const auto& member : document.GetObject()) {
        if (!member.value.IsString()) {
            std::fprintf(stderr, "%s: the text of %s is not a string\n", argv[1], member.name.GetString());
            return 1;
        }
        texts[std::string(member.name.GetString(), member.name.GetStringLength())] =
            std::string(member.value.GetString(), member.value.GetStringLength());
    }
    if (texts.empty()) {
        std::fprintf(stderr, "%s: no texts\n", argv[1]);
        return 1;
    }
    std::ostringstream out;
    out << "// Generated from " << std::filesystem::path(argv[1]).filename().string() << " when the program is built.\n"
        << "#include \"base/BuiltInMessages.h\"\n\nnamespace qv {\nnamespace {\n"
        << "using namespace std::string_view_literals;\nconst BuiltInMessage kTable[] = {\n";
    for (const auto& [key, text] : texts) out << "    {" << literal(key) << "sv, " << literal(text) << "sv},\n";
    out << "};\n}  // namespace\n\nconst std::span<const BuiltInMessage> kBuiltInMessages(kTable);\n\n}  // namespace qv\n";
    std::ofstream file(argv[2], std::ios::binary | std::ios::trunc);
    file << out.str();
    return file.flush() ? 0 : 1;
}
