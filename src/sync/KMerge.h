#pragma once
// Execution of an action list: one row per marked item, the work summed in
// four groups (copies from each side, deletes on each side) that can be
// switched off, archiving of what is overwritten or deleted, and the run
// itself with per-row results, progress, speed and time remaining.

#include "sync/EntryDisposal.h"
#include "sync/KCopyItem.h"
#include "sync/KMergeItem.h"
#include "sync/MergeProgress.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class KRootItem;
class Settings;
class SideRoots;
class UserPrompt;

struct MergeSettings {
    bool archive = false;            // archive what is overwritten or deleted
    std::string archiveFolder;       // "" archives to the trash
    bool deletePermanently = false;  // deletes skip the trash
    bool dontOverwriteEqual = false; // destinations found equal only receive the attributes

    static MergeSettings fromSettings(const Settings& settings);
};

// Items and the subject entries' size of one group.
struct MergeGroup {
    std::uint64_t items = 0;
    std::uint64_t size = 0;
    bool enabled = true;
};

enum MergeGroupIndex : int { kGroupCopyLeft = 0, kGroupCopyRight = 1, kGroupDeleteLeft = 2, kGroupDeleteRight = 3 };

// Hears about a run as it goes; called on the thread that runs it.
class MergeObserver {
public:
    virtual ~MergeObserver() = default;
    virtual void statusChanged(const QString& /*text*/) {}
    // `figuresUpdated`: the speed and time remaining were recomputed.
    virtual void progressChanged(const MergeProgress& /*progress*/, bool /*figuresUpdated*/) {}
    virtual void rowFinished(const KMergeItem& /*row*/, std::size_t /*index*/) {}
};

class KMerge {
public:
    // Rows for the items of an action list, in list order.
    static std::unique_ptr<KMerge> Start(const std::vector<KItem*>& items, KRootItem& root, UserPrompt& prompt,
                                         const MergeSettings& settings);
    ~KMerge();

    std::vector<KMergeItem>& iMergeItems() { return m_rows; }
    const std::vector<KMergeItem>& iMergeItems() const { return m_rows; }
    const MergeGroup& group(int index) const { return iStatArray[index]; }
    // Switches a group on or off: the rows' halves in it run or are skipped.
    void StatCheckAction(int group, bool on);
    void UpdateStats();
    QString statusText() const;

    bool iWillOverwrite = false, iWillRemove = false, iWillCopy = false;
    bool iArchiveItems = false;
    std::uint64_t iTotalSize = 0, iTotalItems = 0;
    double iTotalCopySize = 0;

    // Runs the pending rows on the calling thread, in order. Cancel() may be
    // called from another thread.
    void MergeThread(MergeObserver& observer);
    void Cancel();
    // By the user, or by a dismissed request for administrator rights.
    bool wasCancelled() const { return m_cancelled.load() || iCopyItem->iCancelRequested.load(); }
    // -1 when no row failed.
    long lastFailedIndex() const { return m_lastFailed; }
    // Where archived items can be found after the run ("" when nothing was archived to a folder).
    const std::string& iTrash() const { return m_trash; }
    // Whether deleted and removed entries go into the archive folder, or
    // (else) away for good rather than to the trash.
    bool archivesDeletions() const { return iArchiveItems && !m_settings.archiveFolder.empty(); }
    bool deletesPermanently() const { return m_settings.deletePermanently && !archivesDeletions(); }

    // A test seam: called just before each row runs, after the plan was made,
    // so a test can change the folders the way another program might.
    void setBeforeRow(std::function<void(const KMergeItem&)> hook) { m_beforeRow = std::move(hook); }

    KCopyItem& copyEngine() { return *iCopyItem; }
    // Rows in the order a finished run shows them: failed, done, not run.
    std::vector<std::size_t> rowsByStatus() const;

    // "-" and the date and time, year first ("-2026-12-06-040506"), so that dated folders sort by date.
    static QString DateFilename(const QDateTime& now);
    // The name of this run's dated archive folder: "quorvane" and the date now.
    static QString datedArchiveName();
    static QString ActionError(const KMergeItem& row);

private:
    KMerge(KRootItem& root, UserPrompt& prompt, const MergeSettings& settings);

    int ExecuteItem(KMergeItem& row, int action, const QString& prefix);
    int executeCopy(KMergeItem& row, int action);
    int executeAttributes(KMergeItem& row, int action);
    int executeDelete(KMergeItem& row, int action);
    int executeRename(KMergeItem& row, int action, const QString& newName);
    // The side's entry of the row's item, re-checked against the comparison;
    // a failed row's code otherwise (the error set), or -1 to go on.
    int reachChecked(const KMergeItem& row, int side, platform::HeldEntry& out, platform::EntryStat* found = nullptr,
                     bool absentIsFine = false);
    // Makes the folders missing above the destination (with administrator
    // rights when refused and allowed) and opens the one that holds it.
    int reachDestination(const KMergeItem& row, int side, std::string_view newName, platform::HeldEntry& out);
    bool prepareArchiveFolder();
    void runRow(KMergeItem& row, std::size_t index, std::uint64_t& counter, MergeObserver& observer);
    void UpdateItem(KMergeItem& row, int code, std::size_t index, MergeObserver& observer);
    void finishRun();
    int failed(int error);
    int failedWith(const QString& message);
    // The code of a row whose copy or removal failed with `error`.
    int failedOperation(int error, const QString& detail = {});

    KRootItem& m_root;
    UserPrompt& m_prompt;
    MergeSettings m_settings;
    std::unique_ptr<KCopyItem> iCopyItem;
    EntryDisposal m_disposal;
    std::unique_ptr<SideRoots> m_sides;
    std::function<void(const KMergeItem&)> m_beforeRow;
    std::vector<KMergeItem> m_rows;
    MergeGroup iStatArray[4];
    std::atomic<bool> m_cancelled{false};
    long m_lastFailed = -1;
    QString iError;
    std::string m_trash;
    MergeProgress* m_progress = nullptr;
    MergeObserver* m_observer = nullptr;
};

}  // namespace qv
