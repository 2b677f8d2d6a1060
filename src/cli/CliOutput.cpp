#include "cli/CliOutput.h"

#include <cstdio>

namespace qv {

int failLine(const QString& message) {
    std::fprintf(stderr, "quorvane: %s\n", qPrintable(message));
    return 2;
}

}  // namespace qv
