#include "cli/NameQuoting.h"

#include "platform/Utf8.h"

namespace qv {
namespace {

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7f; }

bool needsQuoting(std::string_view bytes) {
    for (unsigned char c : bytes)
        if (isControl(c)) return true;
    return !platform::isValidUtf8(bytes);
}

void appendEscaped(std::string& out, unsigned char c) {
    static constexpr char kHex[] = "0123456789abcdef";
    switch (c) {
    case '\n': out += "\\n"; return;
    case '\t': out += "\\t"; return;
    case '\r': out += "\\r"; return;
    case '\\': out += "\\\\"; return;
    case '\'': out += "\\'"; return;
    default:
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
}

}  // namespace

std::string quotedName(std::string_view bytes) {
    if (!needsQuoting(bytes)) return std::string(bytes);
    std::string out = "$'";
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const std::size_t n = platform::utf8SequenceLength(p, end);
        if (n == 1 && !isControl(*p) && *p != '\\' && *p != '\'') out += static_cast<char>(*p);
        else if (n > 1) out.append(reinterpret_cast<const char*>(p), n);
        else appendEscaped(out, *p);
        p += n ? n : 1;
    }
    out += '\'';
    return out;
}

}  // namespace qv
