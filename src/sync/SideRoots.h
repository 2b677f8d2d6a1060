#pragma once
// The two compared folders held open for the time of an execution, and the
// way to every item's entries from them: component by component, never
// through a link (see platform/PathWalk.h). A folder replaced by a link
// after the comparison therefore stops the rows below it instead of
// leading them somewhere else.

#include "engine/KItem.h"
#include "platform/PathWalk.h"

#include <string>
#include <string_view>

namespace qv {

class KRootItem;

class SideRoots {
public:
    explicit SideRoots(const KRootItem& root);

    // Opens the folder holding the side's entry of `item` and names the entry
    // (`newName` instead of the item's own name when given). With
    // `createFolders`, folders missing on the way are made. Returns 0 or an
    // errno value: ENOENT when a folder on the way is gone, ELOOP or ENOTDIR
    // when one is now a link or a file.
    int locate(const KItem& item, int side, platform::HeldEntry& out, bool createFolders = false,
               std::string_view newName = {}) const;

    // The folder the walk to the item starts from (`anchor`, owned by
    // `owned` or by this object), and the item's path below it.
    int anchorOf(const KItem& item, int side, platform::UniqueFd& owned, int& anchor, std::string& anchorPath,
                 std::string& relative) const;

private:
    const KRootItem& m_root;
    platform::UniqueFd m_fd[2];
    int m_error[2] = {0, 0};
};

}  // namespace qv
