#pragma once
#include <string>
#include <vector>

namespace qv {

// quorvane settings list [--json] | get KEY | set KEY VALUE | reset [KEY]
// Exit status 0, or 2 for an unknown key, a value of the wrong type or a bad call.
int runSettingsCommand(const std::vector<std::string>& args);

}  // namespace qv
