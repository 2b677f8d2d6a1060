#pragma once

namespace qv {

class CommandLine;

// quorvane update check [--json] | install
void addUpdateCommand(CommandLine& cli);

}  // namespace qv
