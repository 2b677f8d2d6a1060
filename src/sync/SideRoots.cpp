#include "sync/SideRoots.h"

#include "base/PathResolution.h"
#include "engine/KRootItem.h"

#include <cerrno>
#include <vector>

namespace qv {
namespace {

int sideIndex(int side) { return side == kSideLeft ? 0 : 1; }

// The folder a multi-folder set member stands for, or "" for an ordinary entry.
const std::string& memberTarget(const KItem& item, int side) {
    static const std::string none;
    const ItemExtras* extras = item.extrasIfAny();
    if (!extras) return none;
    return side == kSideLeft ? extras->iFullLPath : extras->iFullRPath;
}

}  // namespace

SideRoots::SideRoots(const KRootItem& root) : m_root(root) {
    for (int side : {kSideLeft, kSideRight}) {
        const int i = sideIndex(side);
        // The folders the user named: links in their own paths are the user's choice.
        m_error[i] = platform::openFolder(root.PathForSide(side), m_fd[i]);
    }
}

int SideRoots::anchorOf(const KItem& item, int side, platform::UniqueFd& owned, int& anchor, std::string& anchorPath,
                        std::string& relative) const {
    std::vector<const KItem*> chain;
    const KItem* member = nullptr;
    for (const KItem* at = &item; at && !at->isRootItem(); at = at->iParent()) {
        chain.push_back(at);
        if (!memberTarget(*at, side).empty()) {
            member = at;
            break;
        }
    }
    relative.clear();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!relative.empty()) relative += '/';
        relative += *it == member ? std::string(lastPathComponent(memberTarget(*member, side)))
                                  : std::string((*it)->nameForSide(side));
    }
    if (member) {
        // A member of a set stands for the folder its link leads to, as the comparison read it.
        anchorPath = parentPath(memberTarget(*member, side));
        const int error = platform::openFolder(anchorPath, owned);
        anchor = owned.get();
        return error;
    }
    const int i = sideIndex(side);
    if (m_error[i]) return m_error[i];
    anchorPath = m_root.PathForSide(side);
    anchor = m_fd[i].get();
    return 0;
}

int SideRoots::locate(const KItem& item, int side, platform::HeldEntry& out, bool createFolders,
                      std::string_view newName) const {
    platform::UniqueFd owned;
    int anchor = -1;
    std::string anchorPath, relative;
    if (int error = anchorOf(item, side, owned, anchor, anchorPath, relative)) return error;
    if (!newName.empty()) {
        const std::size_t slash = relative.rfind('/');
        relative = (slash == std::string::npos ? std::string() : relative.substr(0, slash + 1)) + std::string(newName);
    }
    if (!platform::isPlainRelativePath(relative)) return EINVAL;
    return platform::locateBelow(anchor, anchorPath, relative, out, createFolders);
}

}  // namespace qv
