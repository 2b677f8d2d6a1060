#include "cli/CliOutput.h"

#include "cli/TerminalLine.h"
#include "base/Messages.h"

#include <cstdio>
#include <exception>

namespace qv {

void printError(const QString& message) {
    TerminalLine::clear();
    std::fprintf(stderr, "quorvane: %s\n", message.toLocal8Bit().constData());
}

int failLine(const QString& message) {
    printError(message);
    return 2;
}

int runCatchingExceptions(const std::function<int()>& command) {
    try {
        return command();
    } catch (const std::exception& e) {
        return failLine(Messages::format("cliInternalError", QString::fromLocal8Bit(e.what())));
    } catch (...) {
        return failLine(Messages::format("cliInternalError", QStringLiteral("?")));
    }
}

}  // namespace qv
