#pragma once
#include <string>
#include <vector>

namespace qv {

// quorvane history list|lock N|unlock N|remove N|clear [--files|--folders] [--paths]
// The pair history of folder (default) or file comparisons, or with --paths the recently used single paths.
int runHistoryCommand(const std::vector<std::string>& args);

}  // namespace qv
