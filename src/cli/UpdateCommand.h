#pragma once
// `quorvane update`, run by quorvane-update beside the quorvane command: the
// only command that needs the network and archive libraries, which the
// command line thus never loads. Both programs declare it alike, so that its
// help and usage errors are the quorvane command's own.

#include <functional>

namespace qv {

class CommandLine;

struct UpdateVerbs {
    std::function<int(bool json)> check;
    std::function<int()> install;
};

// quorvane update check [--json] | install
void addUpdateCommand(CommandLine& cli, UpdateVerbs verbs);

}  // namespace qv
