#pragma once
#include <string>
#include <vector>

namespace qv {

// quorvane rules list [--json] | add … | remove … | enable LIST | disable LIST | check
// Exit status 0; 1 when check finds problems; 2 for a bad call or a refused rule.
int runRulesCommand(const std::vector<std::string>& args);

}  // namespace qv
