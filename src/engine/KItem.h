#pragma once
// One node of a comparison tree: one name at one place of the hierarchy,
// carrying the left entry (side 1) and the right entry (side 2) at once.

#include "engine/ComparisonState.h"
#include "engine/NodeStore.h"
#include "platform/FileSystem.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class ContentCheckQueue;
class KRootItem;

// One listed entry as the scan hands it to node creation.
struct ScanEntry {
    std::string_view name;
    const platform::EntryStat* stat = nullptr;
    std::string_view folderPath;   // the folder it was listed in (absolute)
};

// Children and totals: only nodes that have children carry them.
struct FolderPart {
    std::vector<KItem*> children;
    std::vector<KItem*> sorted;
    std::unique_ptr<std::vector<KItem*>> sortedWithoutExt;
    // Names of the other side's listing, consulted when pairing across extensions.
    std::vector<std::string_view> otherSideNames;
    std::uint64_t iFiles1 = 0, iFolders1 = 0, iFiles2 = 0, iFolders2 = 0;
    std::uint64_t iDiffs1 = 0, iOrphans1 = 0, iDiffs2 = 0, iOrphans2 = 0;
    // The shown children for the view filter they were made for (4095: none made).
    std::vector<KItem*> iFilteredObjects;
    unsigned iFilterType = 4095;
    // A one-sided folder's contents were listed when the view first opened it.
    bool listedOnDemand = false;
};

// Values that only some nodes have: link targets, optional columns, action names.
struct ItemExtras {
    std::string iLink1, iLink2;
    QString iCopyAs;
    std::int64_t iDateC1 = platform::kNoTime, iDateC2 = platform::kNoTime;
    std::int64_t iDateO1 = platform::kNoTime, iDateO2 = platform::kNoTime;
    std::int64_t iDateA1 = platform::kNoTime, iDateA2 = platform::kNoTime;
    QString iKind1, iKind2, iTags1, iTags2, iMD51, iMD52;
    std::optional<int> iTagNumber1, iTagNumber2;   // colour label 1 to 7; 0 none; unset: not read
    std::uint64_t iChildrenBadge1 = 0, iChildrenBadge2 = 0;
    std::string iFullLPath, iFullRPath;   // cached side paths of multi-folder sets
};

class KItem {
public:
    // --- creation -------------------------------------------------------
    // A node for a listed entry of one side; `dir` overrides the folder flag of the entry.
    static KItem* ItemWithURL(const ScanEntry& url, int side, KRootItem* root, KItem* parent,
                              std::optional<bool> dir = std::nullopt);
    // A node for a folder path of one side, or nullptr when no folder exists there.
    static KItem* ItemWithFolder(const std::string& path, int side, KRootItem* root, KItem* parent);
    // A node whose side values are given directly.
    static KItem* Item(std::string_view name, std::int64_t size, bool dir, int side, KRootItem* root,
                       std::string_view link, KItem* parent);
    // Fills a node made by the caller (the scan's short-lived left nodes live
    // on its stack and keep their name in the listing until persist()).
    static void FillFromURL(KItem& node, const ScanEntry& url, int side, std::optional<bool> dir,
                            bool keepName);
    // Moves a short-lived node into the tree's storage and returns the stored node.
    static KItem* persist(KItem&& temporary);

    // --- names and paths -----------------------------------------------
    std::string_view nameBytes() const { return {m_name, m_nameLength}; }
    bool hasName2() const { return m_name2 != nullptr; }
    std::string_view name2Bytes() const { return {m_name2, m_name2Length}; }
    // The name of the side's entry: the left name is iName2 when set.
    std::string_view nameForSide(int side) const;
    QString iName() const;
    QString iName2() const;
    void setIName(std::string_view bytes);
    void setIName2(std::string_view bytes);

    // Path relative to the root, names joined with "/", built from the left
    // name where the left side exists (the right name otherwise).
    std::string iPath() const;
    // Absolute path of the side's entry, or "" for side 3 (logged).
    std::string PathForSide(int side) const;
    bool HasRPath(std::string_view lastComponent) const;

    // --- tree -----------------------------------------------------------
    KItem* iParent() const { return m_parent; }
    KRootItem* iRoot() const { return m_root; }
    bool isRootItem() const { return m_root == nullptr; }
    const std::vector<KItem*>& iChildren() const;
    const std::vector<KItem*>& iChildrenSorted() const;
    const std::vector<KItem*>* iChildrenSortedWithoutExt() const;
    FolderPart& folder();                       // created on first use
    const FolderPart* folderIfAny() const { return m_folder.get(); }
    ItemExtras& extras();                        // created on first use
    const ItemExtras* extrasIfAny() const { return m_extras.get(); }

    void setIParent(KItem* parent);
    void setIChildren(std::vector<KItem*> children);
    void SetChildrenWithoutSorting(std::vector<KItem*> children);
    void AddChildrenSorted(const std::vector<KItem*>& added);
    void appendChild(KItem* child);              // to iChildren and the ordered arrays
    void SortChildren();
    void Resort();
    KItem* ItemForPath(std::string_view path, int side);
    // The node below this one at a path relative to the roots (as iPath() spells it), or nullptr.
    KItem* itemAtIPath(std::string_view relativePath);

    // --- comparison -----------------------------------------------------
    // Compares this left node with its right counterpart and stores the state
    // in `right`. When the pair needs its files read and `deferred` is given,
    // the reading is handed to it and kStatePending comes back.
    int CompareWithNode(KItem* right, bool copyValues, ContentCheckQueue* deferred = nullptr);
    void CopySideValuesFrom(const KItem& other, std::string_view name);
    void setIOffsetSize(bool value);
    static bool MultiFolderForSide(int side, const KRootItem* root);

    // --- comparison of two files on disk (1, 5, 10, 11 or 12) ----------------
    // `progress`, when given, is told the bytes compared instead of the root's status.
    // `kinds` says whether the scan found both to be regular files.
    static int CompareFile(const std::string& file1, const std::string& withFile2, KRootItem& root,
                           platform::PairKinds kinds, const platform::ContentProgress& progress = {});
    static int CompareRsrcFile(const std::string& file1, const std::string& withFile2, KRootItem& root);
    static int CompareExtendedFinderFile(const std::string& file1, const std::string& file2, bool followLinks);
    static int CompareTagsFile(const std::string& file1, const std::string& withFile2, KRootItem& root);
    static int CompareTags(const std::string& tags1, const std::string& tags2, bool followLinks);
    static int TryResolveAndComparePaths(const std::string& file1, const std::string& file2);

    // --- sides ----------------------------------------------------------
    bool hasSide(int side) const { return side == kSideLeft ? m_present1 : m_present2; }
    void setHasSide(int side, bool present);
    bool isLink(int side) const { return side == kSideLeft ? m_isLink1 : m_isLink2; }
    void setIsLink(int side, bool link);
    // Listed as a regular file: neither a link nor a FIFO, socket or device.
    bool isRegularFile(int side) const { return side == kSideLeft ? m_regular1 : m_regular2; }
    void setIsRegularFile(int side, bool regular);
    const std::string& linkForSide(int side) const;   // iLink1 / iLink2, "" when none
    void setLinkForSide(int side, std::string_view target);
    void setSideValues(int side, std::int64_t size, std::int64_t dateNs, bool dir);

    // --- merge actions --------------------------------------------------
    // Sets the action and keeps at most one action (attribute copies aside)
    // on any path from the root to a leaf: the subtree is cleared, and a
    // folder with ignored items passes the action to its children instead.
    void setICopyTo(int action);
    QString iCopyAs() const;
    void setICopyAs(const QString& name);
    // Clears the actions of this node and its ancestors, attribute copies excepted.
    void ResetCopyToForParents();
    bool HasCopyActionsOnChildren() const;
    // The side whose entry the action reads, moves or removes (1, 2, 3), or 0.
    int CopyAffectedSide() const;
    static int AffectedSideOf(int action);
    void AddForChildrenBadgeSide(int side);
    void ResetChildrenBadge();
    std::uint64_t childrenBadge(int side) const;

    // --- ignore marks ----------------------------------------------------
    // Marks the node as left out of synchronisation, or takes the mark off.
    // With `withChildren` the items below without an action follow, and a
    // node with actions below keeps its own mark so those actions stay.
    // Folders whose children are all ignored become ignored; un-ignoring
    // takes the mark off every ancestor; an action marked on an ancestor is
    // handed down to the items that are not ignored. Returns the highest
    // node whose display changed.
    KItem* SetIgnored(bool ignored, bool withChildren);
    void SetHasIgnoredChildren(bool value);
    // Some child is ignored or has ignored items below it.
    bool HasIgnoredChildren() const;
    // Every child is ignored (true for a node without children).
    bool AllChildrenAreIgnored() const;

    // --- plain fields ---------------------------------------------------
    std::int64_t iSize1 = 0, iSize2 = 0;
    std::int64_t iDate1 = platform::kNoTime, iDate2 = platform::kNoTime;   // ns since the epoch
    std::int32_t iState = kStateNotCompared;
    std::int8_t iCmpState = 0;
    std::int8_t iCopyTo = kNone;   // a MergeAction
    bool iDir1 : 1 = false;
    bool iDir2 : 1 = false;
    bool iHidden : 1 = false;
    bool iSizeReady : 1 = true;
    bool iOffsetDate : 1 = false;
    bool iOffsetSize : 1 = false;
    bool iIgnored : 1 = false;
    bool iHasIgnoredChildren : 1 = false;
    bool iCompared : 1 = false;
    bool iExpanded : 1 = false;
    bool iDiffExt : 1 = false;
    bool iDiffName : 1 = false;
    bool iAError1 : 1 = false;
    bool iAError2 : 1 = false;
    // A one-sided folder whose contents were listed when a view asked for them.
    bool childrenListed : 1 = false;

    // Below a folder a node is compared as it is made, and it inherits the folder's ignore mark.
    KItem(KRootItem* root, KItem* parent) : m_root(root), m_parent(parent) {
        if (parent && !parent->isRootItem()) iCmpState = 2;
        if (parent && parent->iIgnored) iIgnored = true;
    }
    ~KItem();
    KItem(KItem&&) = default;
    KItem(const KItem&) = delete;
    KItem& operator=(const KItem&) = delete;

protected:
    KRootItem* rootOrSelf();
    const KRootItem* rootOrSelf() const;
    void rebuildSortedArrays();

private:
    std::string sidePathFromParent(int side) const;

    KRootItem* m_root;
    KItem* m_parent;
    const char* m_name = "";
    const char* m_name2 = nullptr;
    std::uint16_t m_nameLength = 0;
    std::uint16_t m_name2Length = 0;
    bool m_present1 : 1 = false;
    bool m_present2 : 1 = false;
    bool m_isLink1 : 1 = false;
    bool m_isLink2 : 1 = false;
    bool m_regular1 : 1 = false;
    bool m_regular2 : 1 = false;
    std::unique_ptr<FolderPart> m_folder;
    std::unique_ptr<ItemExtras> m_extras;
};

template <class... Args>
KItem* NodeStore::newItem(Args&&... args) {
    void* slot = allocateItemSlot();
    return new (slot) KItem(std::forward<Args>(args)...);
}

}  // namespace qv
