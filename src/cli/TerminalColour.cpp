#include "cli/TerminalColour.h"

#include "engine/ComparisonState.h"

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace qv {

bool useColour(const std::string& choice, int fd) {
    if (choice == "always") return true;
    if (choice == "never") return false;
    const char* noColour = std::getenv("NO_COLOR");
    if (noColour && *noColour) return false;
    const char* term = std::getenv("TERM");
    if (term && std::strcmp(term, "dumb") == 0) return false;
    return ::isatty(fd) != 0;
}

const char* stateColour(int state) {
    switch (state) {
    case kStateEqual: return "";
    case kStateOnlyLeft: return "\033[34m";    // blue, as the window's left side
    case kStateOnlyRight: return "\033[35m";   // magenta
    case kStateNoEntry: return "\033[1;31m";
    case kStateNotCompared: return "\033[2m";
    default: return "\033[33m";                // every kind of difference
    }
}

}  // namespace qv
