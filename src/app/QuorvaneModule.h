#pragma once
// The controller of one comparison window: it owns the window's state, the
// current tree and the threads that work on it, and routes actions to them.
//
// A window binds to it as follows (everything on the main thread):
// - the path fields and option boxes are `state()`; the header, message
//   lines, progress, badge and button states are `status()` with its change
//   signals; `Compare()` starts or stops a run, `ExchangeFolders()` swaps the sides;
// - the tree is `iParentItem()`; a model serves `shownChildren(item)` as a
//   row's children, `canExpand(item)` as whether it can open, and lists a
//   one-sided folder with `needsListing`/`ListFolderOnDemand` (canFetchMore,
//   fetchMore); it tells `setExpanded` when a row opens or closes, and
//   expands `restoredExpandedItems()` after `compareThreadFinished(true)`;
// - `treeChanged` means "reload"; `aboutToResort`/`resorted` and
//   `ignoreMarksAboutToChange`/`ignoreMarksChanged` bracket changes of the
//   order or of the shown rows (layoutAboutToBeChanged/layoutChanged);
// - a click on a column header is `ColumnClicked(column)`; columns switched
//   on are `AddColumns(bits)`; ignore marks are `SetIgnored(item, …)`;
//   opening a pair in a window of its own is `CompareItem1(path1, path2)`,
//   which emits `openComparisonRequested` for the application to answer.

#include "app/ComparisonStatus.h"
#include "app/ExpandedRows.h"
#include "app/WindowState.h"
#include "engine/KRootItem.h"
#include "engine/ScanObserver.h"
#include "engine/FolderSize.h"
#include "engine/ScanOptions.h"
#include "engine/ViewFilter.h"
#include "filters/KExcludeRules.h"
#include "platform/FileSystem.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <vector>

class QThread;

namespace qv {

class DragCopyQueue;
class FileComparisonSession;
class FolderScanner;
class MergeList;
class ScriptedExecution;
struct RenameOptions;
class Settings;
class UserPrompt;

class QuorvaneModule : public QObject {
    Q_OBJECT
public:
    // Where a pair opened from a window goes (the setting "openCompareIn2").
    enum class OpenTarget {
        NewWindow,          // a window of its own
        Tab,                // a tab of this window
        TabOfOpenedWindow,  // a tab of the window earlier pairs were opened in (a new window when there is none)
    };
    Q_ENUM(OpenTarget)

    QuorvaneModule(UserPrompt& prompt, Settings& settings,
                   platform::FileSystem& fs = platform::systemFileSystem(), QObject* parent = nullptr);
    ~QuorvaneModule() override;

    WindowState& state() { return m_state; }
    const WindowState& state() const { return m_state; }
    ComparisonStatus& status() { return *m_status; }
    const ComparisonStatus& status() const { return *m_status; }

    // --- a run ----------------------------------------------------------------
    // The Compare action. `scripted` stands for a call from a script or a
    // repeated run: nothing is asked. Returns true when a run started. With
    // marked actions a window is asked first ("mergeClear"); once they are
    // cleared the run starts from the event loop and this returns false.
    bool Compare(bool scripted = false);
    bool CheckComparedFolders(bool folderTab);
    bool FoldersOk(bool folderTab);
    void CheckForCaseSensDrives();
    void Cancel();
    bool ComparingFolders() const { return m_thread != nullptr; }
    // Swaps the two path fields (and what they stand for).
    void ExchangeFolders();

    // Opens two paths (a selected pair, say) in a comparison of their own:
    // both must exist and be of one kind. A window answers
    // openComparisonRequested; without one listening, a second controller
    // owned by this one compares the pair (see openedComparisons()).
    bool CompareItem1(const std::string& item1, const std::string& item2);
    const std::vector<std::unique_ptr<QuorvaneModule>>& openedComparisons() const { return m_opened; }
    // Set on a controller made for a pair opened from another window.
    bool iOpenedByDoubleClick = false;

    // --- multi-folder sets ----------------------------------------------------
    static bool CanAddMultiFolders(const QStringList& folders);
    // Makes (or extends) the set of side 1 or 2 and puts it in that side's
    // path field. Returns false, changing nothing, when a folder cannot join.
    bool AddMultiFolders(const QStringList& folders, int side);
    bool isMultiFolderSide(int side) const { return m_multiFolder[side == kSideLeft ? 0 : 1]; }
    // Removes, on a worker thread, every set that no history refers to any
    // more; multiFoldersCleared follows.
    void ClearNotUsedMultiFolders();

    // --- filter rules ---------------------------------------------------------
    // The window's filter rules, loaded from the settings when the window is made.
    KExcludeRules& iExcludeRules() { return m_rules; }
    // Uses a rule file's lists for this window instead of the stored ones (never saved).
    bool useRuleFile(const QString& json);
    // Keys of stored rule lists that could not be read when the window was made.
    const QStringList& unreadableRuleKeys() const { return m_unreadableRuleKeys; }
    // Whether the rules may stand as they are: switches of empty lists go off,
    // and a finding of the validation is shown and answers no.
    bool PopupCanClose();
    // Stores the rules after an edit (not when they came from a rule file).
    void SaveRules();
    // Whether the rules may be edited now: no run nor size pass reads them.
    bool rulesEditable() const { return !m_thread && !m_sizeThread; }

    // --- rows -----------------------------------------------------------------
    // The view filter (a bit set; 4095 shows everything), from the setting "filterKeys".
    unsigned iModuleFilter() const { return m_moduleFilter; }
    void setIModuleFilter(unsigned filter) { m_moduleFilter = filter; }
    // The filtered rows, one-sided folders listed when the filter must look inside.
    ViewFilter& view();
    // The rows under a node in display order. While a run goes only the top
    // level is served (unfiltered); a one-sided folder not yet listed has none.
    const std::vector<KItem*>& shownChildren(KItem* item);
    // Whether a row can be expanded: no run goes, subfolders are compared,
    // and it has shown children or is a one-sided folder (not while the size
    // pass or a column refresh walks the tree).
    bool canExpand(KItem* item);
    // A one-sided folder whose contents have not been listed yet.
    bool needsListing(const KItem* item) const;
    // Lists such a folder into the tree (read errors are not asked about); a
    // folder that has gone gets no children. Returns the number of rows it now shows.
    std::size_t ListFolderOnDemand(KItem* item);
    // The window tells which rows are open, so they can be opened again after the next run.
    void setExpanded(KItem* item, bool expanded);
    void StoreExpandedItems();
    const std::vector<KItem*>& RestoreExpandedItems();
    const std::vector<KItem*>& restoredExpandedItems() const { return m_restoredExpanded; }

    // --- sorting --------------------------------------------------------------
    int sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_sortAscending; }
    // The column and direction the next run's tree is sorted by (the tree on screen stays as it is).
    void setSortColumn(int column, bool ascending) {
        m_sortColumn = column;
        m_sortAscending = ascending;
    }
    // Sorts the tree on screen by a column now. While a scan holds the tree
    // it tries again every 0.1 s instead of waiting; an optional column not
    // read yet is read first. aboutToResort/resorted bracket the change.
    void SafeResort(int column, bool ascending);
    // A click on a column header: the sorting column reverses its
    // direction, another column becomes the sorting column, ascending.
    void ColumnClicked(int column);
    // The title of the state column for the current sort.
    QString stateColumnTitle() const;
    // The user's order of states (setting "sortStateOrder63").
    const std::vector<int>& iCustomSort() const { return m_customSort; }
    void setICustomSort(const std::vector<int>& order, bool store = true);

    // --- optional columns -----------------------------------------------------
    // The optional columns (OptionalColumn bits) the window shows; each run reads them.
    std::uint32_t iColumns() const { return m_columns; }
    // Switches columns on; what the tree on screen lacks is read at once (RefreshColumns).
    void AddColumns(std::uint32_t columns);
    void setIColumns(std::uint32_t columns) { m_columns = columns; }
    // Reads, on a worker, the shown columns that the tree on screen lacks;
    // columnsRefreshed follows. Nothing happens while a scan runs (it reads them itself).
    void RefreshColumns();
    bool RefreshingColumns() const { return m_columnThread != nullptr; }
    // The colour label (1 to 7, 0 for none) of a row's side, read when first
    // asked for and kept; always 0 when the setting "showColorTags2" is off.
    int colorLabel(KItem* item, int side);

    // --- ignore marks -----------------------------------------------------------
    // Marks an item as left out of synchronisation (or takes the mark off),
    // with its children when asked; the counts, the status and the marked
    // actions follow. Returns the highest row whose display changed.
    KItem* SetIgnored(KItem* item, bool ignored, bool withChildren);

    // --- status ---------------------------------------------------------------
    // Writes the status header and the two message lines from the finished counters.
    void SetCompareStatus();
    // The same, unless the message lines show the summary of the marked actions, which is refreshed instead.
    void SetCompareStatusIfNotMerge();
    // After actions were marked or cleared: the list, the badge, the execute
    // button and the summary in the message lines.
    void MergeItemsUpdated();
    // The icon name of an equal pair: "equal" (compared by contents) or "equal2".
    const char* EqualImage(const KItem& item) const;
    // Whether the size pass after a scan is running.
    bool CalculatingSizes() const { return m_sizeThread != nullptr; }

    // The actions marked on the current tree; a new run starts with none.
    MergeList& mergeList() { return *m_mergeList; }
    // A press of a row's action button (`kind` a ButtonKind, `side` 1 or 2)
    // with `selection` the rows selected with it; the list and the side
    // summaries follow.
    void SetItemsForRow(KItem* row, const std::vector<KItem*>& selection, int kind, int side);
    // The same press for a copy-as or rename, the new names made by the name dialog's options.
    void SetItemsForRow(KItem* row, const std::vector<KItem*>& selection, int kind, int side,
                        const RenameOptions& options);
    // Reads again the tags and colour label of the items' entries on `side`
    // once they were edited; rowsUpdated follows.
    void UpdateTagsForSide(const std::vector<KItem*>& items, int side);
    // Plans a mirror or update sync (a MirrorBits request) on the current
    // tree. Returns the paths of the items an update could not order by date.
    std::vector<std::string> StartMirror2(int syncType, int mirror);
    // After an execution: whether to compare again, asked unless the answer
    // was stored ("dontAskRescan"); a headless run never compares again.
    bool MergeFinishedOk();
    // --- items dropped onto a folder of the comparison ------------------------
    // The folder a drop on `item`'s side lands in (the side's top folder for
    // no item); "" where nothing may be dropped: during a run, on a side read
    // from a snapshot, on what is not a folder on that side, or when the
    // setting "allowDnD" is off.
    std::string dropTarget(KItem* item, int side) const;
    // Whether `paths` may be copied there (not onto their own folder, not into themselves, not read-only).
    bool canDropOn(KItem* item, int side, const std::vector<std::string>& paths) const;
    // Queues the copy; false when the drop is refused.
    bool acceptDrop(KItem* item, int side, const std::vector<std::string>& paths);
    // The queue that copies dropped items, one batch at a time.
    DragCopyQueue& copyQueue();
    // A dropped item was copied to `destination`: its row, if any, shows it.
    void entryCopied(const std::string& destination);

    // Whether one of the two folders of the current run lies inside the other:
    // comparing them is possible, synchronising them is not.
    bool rootsNested() const;

    // --- scripts ----------------------------------------------------------------
    // A script's request waits for the end of the work it started. At most
    // one waits per window: a new one first answers the waiting one with NO.
    using CompletionHandler = std::function<void(bool)>;
    void setICompareCompletionHandler(CompletionHandler handler);
    bool hasCompletionHandler() const { return static_cast<bool>(m_completion); }
    // Answers the waiting request with YES and forgets it: the end of a
    // folder or file comparison, of planning, of an execution.
    void NotifyIfAppleScript();
    // Plans a mirror (type 0) or update (type 1) sync in direction 1 (left
    // to right), 2 or 3 (both); "mirrorDelDest" adds the deletion of
    // orphans. Without a tree a comparison runs first. A later scripted
    // comparison plans again. `handler` gets YES when planning has ended.
    void StartMirrorType(int type, int direction, CompletionHandler handler);
    // Executes the marked actions without a sheet. `archive`: "#TRASH!",
    // "#NOARCHIVE!", a folder, or "" for the stored choice. `handler` gets
    // YES when the run has ended (at once when there is nothing to run).
    void ExecuteWithArchive(const QString& archive, CompletionHandler handler);
    bool executing() const;
    // "name - reason" for every failed row of the last scripted execution.
    const QStringList& ASErrors() const { return m_asErrors; }

    UserPrompt& prompt() { return m_prompt; }
    Settings& settings() const { return m_settings; }
    // The window's file comparison (its file tab).
    FileComparisonSession& fileComparison() { return *m_files; }

    KRootItem* iRootItem() const { return m_root.get(); }
    KItem* iParentItem() const { return m_parentItem; }
    const std::string& iLeftFolderPath() const { return m_leftFolderPath; }
    const std::string& iRightFolderPath() const { return m_rightFolderPath; }
    bool lastRunCancelled() const { return m_lastRunCancelled; }
    // Why the last run could not read a snapshot side ("" when it could).
    const QString& snapshotError() const { return m_snapshotError; }
    bool iAnyFilterOn() const { return m_anyFilterOn; }
    // The first problem shown to the user by the last Compare action, "" when none.
    const QString& lastAlert() const { return m_lastAlert; }

signals:
    // A run is about to replace the tree: every reference into the old one must go.
    void runStarted();
    // Values of rows changed in place (a dropped item copied over one).
    void rowsUpdated();
    // The queue of dropped items ran empty.
    void dropCopiesFinished();
    // Marked actions changed (the list, the badge, the side summaries).
    void actionsChanged();
    void progress(quint64 processed);
    // While files are read for their contents: the bytes read of the bytes to
    // read, and once every pair to read is known the share done and the
    // seconds left (both -1 before).
    void contentProgress(qint64 bytesRead, qint64 bytesToRead, double fraction, double secondsLeft);
    // The fraction read of one large file being compared.
    void fileProgress(double fraction);
    // The tree changed: reload what is shown.
    void treeChanged();
    // The run ended; `completed` is false when it was cancelled.
    void compareThreadFinished(bool completed);
    // The sizes of one-sided folders and the counts are in, and the status line is written.
    void sizesCalculated();
    // The order of rows is about to change, and has changed.
    void aboutToResort();
    void resorted();
    // Ignore marks are about to change (rows may be hidden or shown), and have changed below `top`.
    void ignoreMarksAboutToChange();
    void ignoreMarksChanged(qv::KItem* top);
    // The columns asked for by AddColumns or RefreshColumns are in.
    void columnsRefreshed();
    // The path fields were changed by the controller (ExchangeFolders, a path resolved).
    void pathsChanged();
    // The paths of a Compare named two files (FileTab) or two folders: the
    // window shows that tab, and compares the files there.
    void selectedTabChanged(int tab);
    // The application should open the pair in a comparison of its own.
    void openComparisonRequested(const QString& left, const QString& right, qv::QuorvaneModule::OpenTarget target);
    // ClearNotUsedMultiFolders has removed this many sets.
    void multiFoldersCleared(int removed);

private:
    class ScanBridge;

    void CopyQueueFinished();

    // The run itself, once the question about marked actions is out of the way.
    bool startRun();
    void CompareThreadFinished();
    // The pair joins the folder history and each plain side the recently used folders.
    void recordHistory();
    void startSizePass();
    void SizePassFinished(unsigned generation);
    void stopSizePass();
    void stopColumnRefresh();
    void tryResort();
    bool askToClearActions();
    void refreshButtons();
    // One side's byte total as the message lines write it.
    QString byteText(std::int64_t bytes) const;
    // Lists a one-sided folder into the tree and forgets its shown children.
    void listOneSidedFolder(KItem* item);
    ReadErrorAnswer EnumeratorError(const std::string& path, int error);
    void showAlert(const char* key);
    // A notice the user should see: an alert in a window, a line on stderr without one.
    void informOrLog(const QString& text);
    void setHeader(const QString& text, ComparisonStatus::Role role);
    ScanOptions scanOptionsForRun() const;
    void applyRootOptions(KRootItem& root) const;
    std::uint32_t columnsForRun() const;
    bool colorLabelsWithColumns() const;
    bool canListOnDemand() const;

    UserPrompt& m_prompt;
    Settings& m_settings;
    platform::FileSystem& m_fs;
    WindowState m_state;
    ComparisonStatus* m_status;   // a child QObject
    FileComparisonSession* m_files;   // a child QObject
    std::unique_ptr<KRootItem> m_root;
    KItem* m_parentItem = nullptr;
    std::unique_ptr<ScanBridge> m_bridge;
    std::unique_ptr<FolderScanner> m_scanner;
    QThread* m_thread = nullptr;
    QThread* m_sizeThread = nullptr;
    std::atomic<bool> m_sizeCancelled{false};
    unsigned m_sizeGeneration = 0;   // tells a stopped pass's late end from the current one
    QThread* m_columnThread = nullptr;
    std::atomic<bool> m_columnCancelled{false};
    unsigned m_columnGeneration = 0;
    QThread* m_clearThread = nullptr;
    bool m_recountStats = false;   // ignore marks changed while the size pass counted
    ScanOptions m_runOptions;
    SizeCache m_sizes;
    unsigned m_moduleFilter = kFilterOff;
    std::unique_ptr<ViewFilter> m_view;
    std::vector<int> m_customSort;
    int m_sortColumn = -1;   // -1: keep the previous run's
    bool m_sortAscending = true;
    QTimer m_resortTimer;
    bool m_resortAfterColumns = false;
    std::uint32_t m_columns = 0;
    ExpandedRows m_expanded;
    std::vector<KItem*> m_restoredExpanded;
    std::string m_leftFolderPath, m_rightFolderPath;
    bool m_multiFolder[2] = {false, false};
    KExcludeRules m_rules;
    std::unique_ptr<MergeList> m_mergeList;
    bool m_rulesFromSettings = true;
    QStringList m_unreadableRuleKeys;
    bool m_lastRunCancelled = false;
    bool m_closing = false;   // the controller is being destroyed
    std::unique_ptr<DragCopyQueue> m_copyQueue;
    // The row each queued drop landed on, by its folder's path.
    std::map<std::string, std::pair<KItem*, int>> m_dropTargets;
    bool m_anyFilterOn = false;
    QString m_lastAlert;
    QString m_snapshotError;
    std::vector<std::unique_ptr<QuorvaneModule>> m_opened;
    CompletionHandler m_completion;
    QStringList m_asErrors;
    std::unique_ptr<ScriptedExecution> m_execution;
    int m_iSyncType = 0, m_iMirror = 0;   // a plan each scripted run makes again (0: none)
};

}  // namespace qv
