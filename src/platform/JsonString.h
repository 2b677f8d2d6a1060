#pragma once
// File names and paths written as JSON strings. JSON text must be UTF-8, but
// Linux names are bytes: the caller says what becomes of bytes that are not.

#include "platform/Utf8.h"

#include <string>
#include <string_view>

namespace qv::platform {

enum class UndecodableBytes {
    LoneSurrogates,   // U+DC80..U+DCFF per byte: a reader can restore the exact name
    Replacement,      // U+FFFD per byte: every JSON reader accepts the text
};

struct JsonStringStyle {
    UndecodableBytes undecodable = UndecodableBytes::LoneSurrogates;
    bool escapeSlash = false;
};

inline void appendJsonString(std::string& out, std::string_view bytes, JsonStringStyle style = {}) {
    static const char* hex = "0123456789abcdef";
    out += '"';
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        // Plain ASCII goes out a run at a time: names and paths are mostly that.
        const unsigned char* run = p;
        while (p < end && *p >= 0x20 && *p < 0x80 && *p != '"' && *p != '\\' && (*p != '/' || !style.escapeSlash)) ++p;
        out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
        if (p == end) break;
        const unsigned char c = *p;
        if (c == '"' || c == '\\' || (c == '/' && style.escapeSlash)) {
            out += '\\';
            out += static_cast<char>(c);
            ++p;
        } else if (c < 0x20) {
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
            ++p;
        } else if (const std::size_t n = utf8SequenceLength(p, end)) {
            out.append(reinterpret_cast<const char*>(p), n);
            p += n;
        } else if (style.undecodable == UndecodableBytes::Replacement) {
            out += "\\ufffd";
            ++p;
        } else {
            out += "\\udc";
            out += hex[c >> 4];
            out += hex[c & 15];
            ++p;
        }
    }
    out += '"';
}

}  // namespace qv::platform
