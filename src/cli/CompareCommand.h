#pragma once

class QCoreApplication;

namespace qv {

class CommandLine;

// quorvane compare LEFT RIGHT [--json] [--all] [compare options]
// Exit status: 0 equal, 1 different, 2 error, 130 interrupted.
void addCompareCommand(CommandLine& cli, QCoreApplication& app);

}  // namespace qv
