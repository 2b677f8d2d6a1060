#include "cli/CliOutput.h"

#include "base/Messages.h"

#include <cstdio>
#include <exception>

namespace qv {

int failLine(const QString& message) {
    std::fprintf(stderr, "quorvane: %s\n", qPrintable(message));
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
