#include "engine/EntryAdmission.h"

namespace qv {

bool isSkippedName(std::string_view name) {
    return name == "." || name == ".." || name == ".DS_Store" || name == "Icon\r";
}

bool isHiddenName(std::string_view name) { return !name.empty() && name[0] == '.'; }

Admission admitEntry(std::string_view name, const platform::EntryStat& stat, const ScanOptions& options) {
    if (name.empty() || isSkippedName(name)) return Admission::PassedOver;
    if (options.iDisableAllFilters) return Admission::Admitted;
    if (!options.iIncludeHidden && isHiddenName(name)) return Admission::LeftOut;
    if (!options.iIncludeAliases && stat.type == platform::EntryType::Symlink) return Admission::LeftOut;
    return Admission::Admitted;
}

}  // namespace qv
