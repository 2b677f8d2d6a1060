#pragma once
// Which rows the view shows: a bit set of state and kind filters, applied to
// every children array and kept with it until the filter changes.

#include "platform/FileSystem.h"

#include <functional>
#include <string>
#include <vector>

namespace qv {

class KItem;
class KRootItem;

enum ViewFilterBit : unsigned {
    kShowEqual = 1,
    kShowDifferent = 2,      // states 2 to 5 and 10 to 12
    kShowLeftOnly = 4,
    kShowRightOnly = 8,
    kShowEmptyFolders = 16,
    kShowIgnored = 32,
    kFilterOff = 4095,
};

class ViewFilter {
public:
    // Lists a one-sided folder's children when the filter needs to look inside it.
    using Lister = std::function<void(KItem*)>;

    ViewFilter(const KRootItem& root, unsigned filter, platform::FileSystem& fs = platform::systemFileSystem(),
               Lister lister = {});

    unsigned iModuleFilter() const { return m_filter; }
    // The children of `node` the view shows, in display order.
    const std::vector<KItem*>& FilteredObjectsForModule(KItem* node);
    // True when working out a folder's shown children may list one-sided
    // folders below it (a filter of only one side's rows), which changes them.
    bool listsWhileFiltering() const;
    // Whether a row can be opened: it has shown children, or it is a one-sided folder.
    bool isExpandable(KItem* node);
    // Set when the filter hid an empty folder.
    bool iAnyFilterOn = false;

    // Forgets the shown children made for `node` (and, with `below`, for
    // every node under it), so they are made again on the next request.
    static void forgetShownChildren(KItem& node, bool below);

    // A folder path that lists no entry at all (hidden ones included), or cannot be listed.
    bool FolderIsEmpty(const std::string& path);

private:
    bool keptInFirstPass(KItem* node);
    bool keptInSecondPass(KItem* node);

    const KRootItem& m_root;
    unsigned m_filter;
    platform::FileSystem& m_fs;
    Lister m_lister;
    platform::Listing m_listing;
};

}  // namespace qv
