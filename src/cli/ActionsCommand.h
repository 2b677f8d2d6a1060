#pragma once
#include <string>
#include <vector>

class QCoreApplication;

namespace qv {

// quorvane actions LEFT RIGHT (--mark ACTION PATH... [--as NAME] [--only-diff])... [--plan FILE]
//   [--archive trash|DIR|none] [--dont-overwrite-equal] [--execute] [--json]
int runActionsCommand(QCoreApplication& app, const std::vector<std::string>& args);

}  // namespace qv
