#pragma once
// Which listed entries take part in a comparison.

#include "engine/ScanOptions.h"
#include "platform/FileSystem.h"

#include <string_view>

namespace qv {

class KExcludeRules;

enum class Admission {
    PassedOver,   // never listed: no name, or a name on the skip list
    LeftOut,      // left out by an option (hidden, alias); may still count in folder totals
    Admitted,
};

// Names never listed: the desktop's folder metadata files.
bool isSkippedName(std::string_view name);

// Hidden means the name begins with a dot, the Linux convention.
bool isHiddenName(std::string_view name);

// `rules` is given only when some rule list is in force; it answers for the
// folder set by its beginScanWithRootPath().
Admission admitEntry(std::string_view name, const platform::EntryStat& stat, const ScanOptions& options,
                     KExcludeRules* rules = nullptr);

}  // namespace qv
