#pragma once
// Programs installed beside the quorvane command: the window (quorvane-gui)
// and quorvane-update, which runs the command that needs the network and
// archives. The command line links neither the widget nor those libraries,
// so that every other command starts without loading them.

#include <string>
#include <vector>

namespace qv {

// The path of the program `name` in this program's folder.
std::string programBeside(const char* name);

// Replaces this process with `program`, which is given `args` after its own
// path. Returns only on failure, with the errno value.
int replaceProcessWith(const std::string& program, const std::vector<std::string>& args);

// Runs this command line again in the program `name` beside this one.
// Returns only on failure, with exit status 2.
int runInSiblingProgram(const char* name, int argc, char** argv);

}  // namespace qv
