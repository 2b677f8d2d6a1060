#pragma once
#include <QString>

namespace qv {

class CommandLine;

// quorvane settings list [--json] | get KEY | set KEY VALUE | reset [KEY]
void addSettingsCommand(CommandLine& cli);

// The one-line description of a registered setting, from the message table.
QString settingDescription(const QString& key);

}  // namespace qv
