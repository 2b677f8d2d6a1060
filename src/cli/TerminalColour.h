#pragma once
// Whether plain output is coloured: `--color always` or `never` decide;
// `auto` (the default) colours a terminal unless NO_COLOR is set (to any
// non-empty value) or TERM is "dumb".

#include <string>

namespace qv {

// The values --color takes.
inline const char* const kColourChoices[] = {"auto", "always", "never"};

bool useColour(const std::string& choice, int fd);

// The escape sequence that colours a comparison state's words ("" for none).
const char* stateColour(int state);
inline constexpr const char* kColourReset = "\033[0m";

}  // namespace qv
