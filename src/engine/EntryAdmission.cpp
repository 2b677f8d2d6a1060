#include "engine/EntryAdmission.h"

#include "platform/DurableFile.h"

#include "filters/KExcludeRules.h"

namespace qv {

bool isSkippedName(std::string_view name) {
    // A file being written under a temporary name is either about to be
    // renamed into place or left by a killed run to be swept: never an entry.
    return name == "." || name == ".." || name == ".DS_Store" || name == "Icon\r" ||
           name.starts_with(platform::DurableFile::kTemporaryPrefix);
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
