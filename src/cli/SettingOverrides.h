#pragma once
#include <QString>

#include <string>

namespace qv {

class Settings;

// Applies one "KEY=VALUE" for this run only. Returns "" on success, else the
// message that explains why it was refused.
QString applySettingOverride(Settings& settings, const std::string& assignment);

}  // namespace qv
