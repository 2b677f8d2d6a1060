#pragma once
#include <string>
#include <vector>

class QCoreApplication;

namespace qv {

// quorvane sync LEFT RIGHT --type mirror|update --direction lr|rl|both
//   [--delete-orphans] [--archive trash|DIR|none] [--dont-overwrite-equal] [--execute] [--json]
int runSyncCommand(QCoreApplication& app, const std::vector<std::string>& args);

}  // namespace qv
