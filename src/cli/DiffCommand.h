#pragma once
#include <string>
#include <vector>

class QCoreApplication;

namespace qv {

// quorvane diff FILE1 FILE2 [--text|--hex|--quick] [--json] [--color=auto|always|never]
// quorvane diff FILE1 FILE2 --merge PLAN --out FILE [--force]
// Exit status 0 equal (or merged file written), 1 different, 2 error.
int runDiffCommand(QCoreApplication& app, const std::vector<std::string>& args);

}  // namespace qv
