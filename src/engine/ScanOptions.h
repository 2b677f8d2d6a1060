#pragma once

namespace qv {

// What the scan lets into the tree, read from the window's options at the start of a run.
struct ScanOptions {
    bool iIncludeHidden = true;
    bool iIncludeAliases = true;
    bool iIgnoreSubfolders = false;
    bool iIgnoreExtensions = false;
    bool iCalculateSameCompare = true;   // left-out entries stay out of folder totals too
    bool iDisableAllFilters = false;
};

}  // namespace qv
