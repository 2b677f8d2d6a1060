#pragma once
// One folder comparison from the first listing to the last folder pair:
// listing both sides, admitting entries, pairing them by name, descending
// into folder pairs and folding each result into the folder above.

#include "engine/FolderSize.h"
#include "engine/ScanObserver.h"
#include "engine/ScanOptions.h"
#include "engine/ScanProgress.h"
#include "platform/FileSystem.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace qv {

class ColumnReader;
class ContentCheckQueue;
class KExcludeRules;
class KItem;
namespace platform {
class ListingPrefetcher;
}
class KRootItem;

// A one-sided folder whose size is computed after the scan.
struct SizeRequest {
    std::string path;
    KItem* parent = nullptr;
    int side = 0;
    KItem* item = nullptr;   // the folder's node; none for a folder left out of the tree
};

class FolderScanner {
public:
    FolderScanner(platform::FileSystem& fs, ScanObserver& observer);
    ~FolderScanner();

    void setOptions(const ScanOptions& options) { m_options = options; }
    // The filter rules of this run (a copy: the run compiles its own matchers).
    void setRules(const KExcludeRules& rules);
    // Threads that read the files of equal-sized pairs; 0 reads them on the scan's own thread.
    void setContentWorkers(unsigned workers) { m_contentWorkers = workers; }
    // Whether folders are listed ahead on a thread of their own (the default);
    // off, the scan lists every folder itself, one side after the other.
    void setListingAhead(bool on) { m_listingAhead = on; }
    // The clock progress reports are timed by (tests give a fake one).
    void setClock(ProgressClock clock) { m_progress.setClock(std::move(clock)); }

    // Lets SetFolderContent list into a finished tree (a one-sided folder opened later).
    void attachRoot(KRootItem& root);

    // Compares the root's two folders into it and returns the root's state.
    int CompareThread(KRootItem& root);
    int CompareFolder(const std::string& left, const std::string& right, KItem* folderParent);
    // Lists one folder of one side (state 7 left, 8 right) into `parent`.
    // Returns false when the run was cancelled.
    bool SetFolderContent(KItem* parent, const std::string& url, bool withKeys, int state, bool appendOnly = false);

    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(std::memory_order_relaxed); }
    const std::atomic<bool>& cancelFlag() const { return m_cancelled; }

    bool iAnyFilterOn = false;
    std::vector<SizeRequest> iToCalcFolders;
    std::uint64_t iProcessedLeftFiles = 0;
    std::uint64_t iListedAhead = 0;   // listings of this run made ahead by the helper thread
    bool iDontShowErrors = false;
    std::set<std::string> iAlreadyResolvedPaths;
    // Set when a snapshot side could not be read: its path, and the message key of why.
    std::string iSnapshotError, iSnapshotErrorReason;

private:
    struct FolderTally {
        std::int64_t bytes = 0;
        std::uint64_t files = 0;
        std::uint64_t folders = 0;
    };
    class LeftNames;
    struct SetMember;

    SetMember memberOf(const platform::ListedEntry& e, const std::string& folder, std::string_view name,
                       KItem* parent, int side);
    static void keepSetTarget(KItem& node, const SetMember& member, int side);
    std::string rightPathOf(const KItem& node, const std::string& rightFolder) const;

    bool ReportProgressWantsCancel();
    void reportProgressWhenDue();
    void RefreshItem(KItem* item);
    // True when the user chose to stop.
    bool reportListingErrors(const platform::Listing& listing, const std::string& folder, bool folderErrorIsNoted);
    platform::Listing& listingForDepth();
    // Lists a folder of a side, or takes its listing made ahead.
    void listSide(int side, const std::string& folder, platform::Listing& out);
    // Asks for the listings of the folder pairs the pairing of `parent` will descend into.
    void listAhead(const platform::Listing& leftListing, const std::string& left, const std::string& right,
                   KItem* parent, LeftNames& leftNames);
    void queueForSize(std::string path, KItem* parent, int side, KItem* item = nullptr);
    int pairLeftFile(KItem& x, const std::string& right, KItem* parent, LeftNames& leftNames);
    int pairLeftFolder(KItem& x, const std::string& leftPath, const std::string& right, KItem* parent,
                       LeftNames& leftNames, FolderTally& tally);
    // Lists the contents of a folder facing a file into its node; returns their totals.
    FolderTotals listOneSidedInto(KItem* node, const std::string& path, int state);
    // Whether `folder` of a side may be listed: it is a folder, or it could not
    // be examined (the listing then reports why); false when it is gone or a file.
    bool mayList(int side, const std::string& folder);
    // A folder pair deeper than any tree the program reads: it cannot be compared.
    bool tooDeep(KItem* parent, const std::string& left);
    KItem* partnerOf(KItem& x, KItem* parent, LeftNames& leftNames, bool allowExtension);
    // Two links to folders are compared as the folders; `res` gets the nested result.
    bool AreTheyTwoLinksToFolders(KItem& x, KItem* right, int& res);
    bool isFolderLink(int side, const std::string& link) const;
    // Whether the tags of a folder pair differ, each side read through its own source.
    bool tagsDiffer(const std::string& left, const std::string& right) const;

    platform::FileSystem& m_fs;
    ScanObserver& m_observer;
    ScanOptions m_options;
    KRootItem* m_root = nullptr;
    std::atomic<bool> m_cancelled{false};
    bool m_reportProgress = false;
    ScanProgress m_progress;
    std::chrono::steady_clock::time_point m_lastRedraw;
    bool m_needsRefresh = false;
    std::vector<std::unique_ptr<platform::Listing>> m_listings;
    std::unordered_set<std::string> m_queuedPaths;   // iToCalcFolders by path: a folder is sized once
    unsigned m_contentWorkers = 0;
    bool m_listingAhead = true;
    std::unique_ptr<platform::ListingPrefetcher> m_prefetcher;
    std::unique_ptr<KExcludeRules> m_rules;   // null when no list is in force
    KExcludeRules* rulesFor(const std::string& folder);
    // The side's own source: its snapshot, or the file system.
    platform::FileSystem& fsFor(int side) const;
    bool readSnapshotSides(KRootItem& root);
    // With one side a snapshot, lists the live side's folders ahead while the snapshot is read.
    void listLiveSideAhead(KRootItem& root);
    std::unique_ptr<ContentCheckQueue> m_contentChecks;
    // Reads the optional columns of every new node; null when none is shown.
    std::unique_ptr<ColumnReader> m_columns;
    unsigned m_statFields = 0;
    void prepareColumns(KRootItem& root);
    void readLeftColumns(KItem& x, const std::string& path, const platform::EntryStat& st, KItem* parent);
    std::size_t m_depth = 0;
};

}  // namespace qv
