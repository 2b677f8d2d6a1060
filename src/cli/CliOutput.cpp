#include "cli/CliOutput.h"

#include "cli/TerminalLine.h"

#include <cstdio>

namespace qv {

void printError(const QString& message) {
    TerminalLine::clear();
    std::fprintf(stderr, "quorvane: %s\n", message.toLocal8Bit().constData());
}

int failLine(const QString& message) {
    printError(message);
    return 2;
}

}  // namespace qv
