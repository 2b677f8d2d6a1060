#pragma once
#include <string>
#include <vector>

class QCoreApplication;

namespace qv {

// quorvane export LEFT RIGHT [--out FILE] [--columns IDS] [--all] [--force] [compare options]
// Exit status 0 written, 2 not written (the reason on stderr), 130 interrupted.
int runExportCommand(QCoreApplication& app, const std::vector<std::string>& args);

}  // namespace qv
