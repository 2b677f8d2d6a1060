#pragma once
// Scripts that stand in for pkexec, so the elevated path runs unelevated and
// tests can see exactly which arguments it was handed.

#include "platform/ElevatedCommand.h"
#include "support/TempTree.h"

#include <string>
#include <vector>

namespace qv::test {

// Writes an executable shell script (the "#!/bin/sh" line is added).
void writeScript(TempTree& tree, const std::string& relative, const std::string& body, mode_t mode = 0755);

// Drops the option pkexec would take itself and runs the rest, unelevated.
extern const char* const kPassThrough;

// Like kPassThrough, and first writes every argument it was given, each
// followed by a NUL, to `log`.
std::string recordingLauncher(const std::string& log);

std::vector<std::string> splitAtNul(const std::string& text);

// Designated initialisers would leave the other members to -Wextra's warning.
platform::ElevatedCommandOptions optionsFor(const std::string& launcher, const std::string& systemBusSocket = {});

}  // namespace qv::test
