#pragma once
#include <QString>

#include <optional>
#include <string>
#include <vector>

class QCoreApplication;

namespace qv {

class CommandLine;

struct DiffOptions {
    std::vector<std::string> paths;
    bool text = false, hex = false, quick = false;
    bool json = false, force = false;
    std::string colour = "auto";
    std::optional<int> unified;   // context lines of a unified diff
    std::string plan, out;
    bool merge = false;
};

// quorvane diff FILE1 FILE2 [--text|--hex|--quick] [-u[N]] [--json] [--color WHEN]
// quorvane diff FILE1 FILE2 --merge PLAN --out FILE [--force]
// Exit status 0 equal (or merged file written), 1 different, 2 error.
void addDiffCommand(CommandLine& cli, QCoreApplication& app);
int runDiff(QCoreApplication& app, const DiffOptions& options);

}  // namespace qv
