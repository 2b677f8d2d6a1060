#include "engine/NameOrder.h"

#include "platform/Utf8.h"

#include <QString>

#include <cstring>

namespace qv {
namespace {

using platform::isAscii;
using platform::isValidUtf8;

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
