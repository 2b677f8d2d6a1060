#include "engine/EntryAdmission.h"

#include "filters/KExcludeRules.h"

namespace qv {

bool isSkippedName(std::string_view name) {
    // Our own temporaries never reach this far: the listing leaves them out.
    return name == "." || name == ".." || name == ".DS_Store" || name == "Icon\r";
}

bool isHiddenName(std::string_view name) { return !name.empty() && name[0] == '.'; }

Admission admitEntry(std::string_view name, const platform::EntryStat& stat, const ScanOptions& options,
                     KExcludeRules* rules) {
    if (name.empty() || isSkippedName(name)) return Admission::PassedOver;
    if (options.iDisableAllFilters) return Admission::Admitted;
    if (!options.iIncludeHidden && isHiddenName(name)) return Admission::LeftOut;
    if (!options.iIncludeAliases && stat.type == platform::EntryType::Symlink) return Admission::LeftOut;
    if (!rules) return Admission::Admitted;
    const bool file = stat.type != platform::EntryType::Folder;
    const bool excludeOn = file ? rules->FilesExcludedEnabled() : rules->FoldersExcludedEnabled();
    const bool onlyOn = file ? rules->CmpOnlyFilesEnabled() : rules->CmpOnlyFoldersEnabled();
    if (!excludeOn && !onlyOn) return Admission::Admitted;
    if (excludeOn && rules->shouldExclude(name, file)) return Admission::LeftOut;
    if (onlyOn && !rules->shouldCompareOnly(name, file)) return Admission::LeftOut;
    return Admission::Admitted;
}

}  // namespace qv
