#pragma once
#include <string>
#include <vector>

class QCoreApplication;

namespace qv {

// quorvane compare LEFT RIGHT [--json] [--set KEY=VALUE]...
// Exit status: 0 equal, 1 different, 2 error, 130 interrupted.
int runCompareCommand(QCoreApplication& app, const std::vector<std::string>& args);

}  // namespace qv
