#pragma once
// How the comparison orders and pairs file names.
//
// Linux file names are bytes. Names that are valid UTF-8 compare without
// regard to letter case, with canonically equivalent forms (composed and
// decomposed accents) equal. Names that are not valid UTF-8 cannot be
// interpreted, so they compare byte for byte and sort after every valid name.

#include <string_view>

namespace qv {

// Three-way comparison in pairing order: negative, 0 (the names pair) or positive.
int compareNames(std::string_view a, std::string_view b);

// Pairing order with the raw bytes as tie-break: a strict total order that
// keeps names differing only by case apart and in a stable place.
int compareNamesStrict(std::string_view a, std::string_view b);

inline bool namesPair(std::string_view a, std::string_view b) { return compareNames(a, b) == 0; }

// The name without its extension ("a.tar.gz" -> "a.tar"). A leading dot does
// not start an extension (".profile" has none) and neither does a final dot.
std::string_view nameWithoutExtension(std::string_view name);

// The extension without its dot, "" when there is none.
std::string_view extensionOf(std::string_view name);

}  // namespace qv
