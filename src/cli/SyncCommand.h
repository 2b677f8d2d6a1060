#pragma once

class QCoreApplication;

namespace qv {

class CommandLine;

// quorvane sync LEFT RIGHT --type mirror|update --direction lr|rl|both [--delete-orphans] [--execute] [--json]
void addSyncCommand(CommandLine& cli, QCoreApplication& app);

}  // namespace qv
