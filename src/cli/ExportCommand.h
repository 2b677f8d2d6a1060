#pragma once

class QCoreApplication;

namespace qv {

class CommandLine;

// quorvane export LEFT RIGHT [--format report|csv|tsv] [--out FILE|-] [--all] [--force] [compare options]
void addExportCommand(CommandLine& cli, QCoreApplication& app);

}  // namespace qv
