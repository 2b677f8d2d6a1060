#pragma once

class QCoreApplication;

namespace qv {

class CommandLine;

// quorvane actions LEFT RIGHT --mark ACTION PATH... [--as NAME] [--only-diff] [--plan FILE] [--execute] [--json]
void addActionsCommand(CommandLine& cli, QCoreApplication& app);

}  // namespace qv
