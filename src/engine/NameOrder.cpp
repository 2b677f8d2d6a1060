#include "engine/NameOrder.h"

#include <QString>

#include <cstring>

namespace qv {
namespace {

bool isAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

unsigned char asciiLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

int compareAsciiFolded(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = asciiLower(static_cast<unsigned char>(a[i]));
        unsigned char y = asciiLower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Canonical caseless form: decompose, fold case, decompose again (folding can
// produce characters that decompose further).
QString caselessForm(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()))
        .normalized(QString::NormalizationForm_D)
        .toCaseFolded()
        .normalized(QString::NormalizationForm_D);
}

int compareBytes(std::string_view a, std::string_view b) {
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace

bool isValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) { ++p; continue; }
        int extra;
        unsigned int cp;
        if (c >= 0xC2 && c <= 0xDF) { extra = 1; cp = c & 0x1F; }
        else if (c >= 0xE0 && c <= 0xEF) { extra = 2; cp = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { extra = 3; cp = c & 0x07; }
        else return false;
        if (end - p <= extra) return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

int compareNames(std::string_view a, std::string_view b) {
    const bool asciiA = isAscii(a), asciiB = isAscii(b);
    if (asciiA && asciiB) return compareAsciiFolded(a, b);
    const bool validA = asciiA || isValidUtf8(a);
    const bool validB = asciiB || isValidUtf8(b);
    if (validA != validB) return validA ? -1 : 1;
    if (!validA) return compareBytes(a, b);
    int c = caselessForm(a).compare(caselessForm(b), Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int compareNamesStrict(std::string_view a, std::string_view b) {
    int c = compareNames(a, b);
    return c != 0 ? c : compareBytes(a, b);
}

std::string_view extensionOf(std::string_view name) {
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size()) return {};
    return name.substr(dot + 1);
}

std::string_view nameWithoutExtension(std::string_view name) {
    std::string_view ext = extensionOf(name);
    return ext.empty() ? name : name.substr(0, name.size() - ext.size() - 1);
}

}  // namespace qv
