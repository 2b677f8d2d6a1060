#pragma once
// `quorvane gui`: the window is a program of its own beside this one, so the
// command line never loads the widget libraries and never needs a display.

#include <string>
#include <vector>

namespace qv {

class CommandLine;

// quorvane gui [LEFT RIGHT] [--start]
void addGuiCommand(CommandLine& cli);

// Whether an X11 or Wayland display is there to open a window on.
bool displayAvailable();
// Replaces this process with the window program; returns only on failure (exit status 2).
int runGuiCommand(const std::vector<std::string>& args);

}  // namespace qv
