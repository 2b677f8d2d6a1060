#pragma once
// Plain questions about UTF-8 bytes. File names on Linux are bytes, and
// several places need to know whether (and where) they can be read as text.

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::platform {

inline bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

// Length of the well-formed UTF-8 sequence that starts at p (1 to 4), or 0
// when none does (a stray byte, a cut sequence, an overlong form, a surrogate).
inline std::size_t utf8SequenceLength(const unsigned char* p, const unsigned char* end) {
    const unsigned char c = *p;
    if (c < 0x80) return 1;
    const std::size_t n = (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
    if (n == 0 || static_cast<std::size_t>(end - p) < n) return 0;
    for (std::size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80) return 0;
    if (n == 3 && ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] >= 0xA0))) return 0;
    if (n == 4 && ((c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] >= 0x90))) return 0;
    return n;
}

// The bytes as a file manager shows them: each byte that does not decode
// becomes U+FFFD, so the result is always valid UTF-8.
inline std::string displayUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        const std::size_t n = utf8SequenceLength(p, end);
        if (n == 0) out += "\xEF\xBF\xBD";
        else out.append(reinterpret_cast<const char*>(p), n);
        p += n ? n : 1;
    }
    return out;
}

inline bool isValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        const std::size_t n = utf8SequenceLength(p, end);
        if (n == 0) return false;
        p += n;
    }
    return true;
}

}  // namespace qv::platform
