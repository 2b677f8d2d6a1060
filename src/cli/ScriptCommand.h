#pragma once

class QCoreApplication;

namespace qv {

class CommandLine;

// quorvane script compare|sync|execute|close [KEY=VALUE]... [--json] [--headless]
void addScriptCommand(CommandLine& cli, QCoreApplication& app);

}  // namespace qv
