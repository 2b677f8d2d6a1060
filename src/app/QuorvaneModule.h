#pragma once
// The controller of one comparison window: it owns the window's state, the
// current tree and the comparison thread, and routes actions to them.

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

#include <atomic>
#include <memory>
#include <vector>

class QThread;

namespace qv {

class FolderScanner;
class MergeList;
class Settings;
class UserPrompt;

class QuorvaneModule : public QObject {
    Q_OBJECT
public:
    QuorvaneModule(UserPrompt& prompt, Settings& settings,
                   platform::FileSystem& fs = platform::systemFileSystem(), QObject* parent = nullptr);
    ~QuorvaneModule() override;

    WindowState& state() { return m_state; }
    const WindowState& state() const { return m_state; }

    // The Compare action. `scripted` stands for a call from a script or a
    // repeated run: nothing is asked. Returns true when a run started.
    bool Compare(bool scripted = false);
    bool CheckComparedFolders(bool folderTab);
    bool FoldersOk(bool folderTab);
    void CheckForCaseSensDrives();
    void Cancel();
    bool ComparingFolders() const { return m_thread != nullptr; }

    // Multi-folder sets: one side stands for several folders. The set is a
    // folder of links in the application-support folder's "MultiFolders".
    static bool CanAddMultiFolders(const QStringList& folders);
    // Makes (or extends) the set of side 1 or 2 and puts it in that side's
    // path field. Returns false, changing nothing, when a folder cannot join.
    bool AddMultiFolders(const QStringList& folders, int side);
    bool isMultiFolderSide(int side) const { return m_multiFolder[side == kSideLeft ? 0 : 1]; }
    // The names of the set's folders joined with "+", and their number.
    static QString MultiFolderName(const QString& setFolder, int* components = nullptr);

    // The window's filter rules, loaded from the settings when the window is made.
    KExcludeRules& iExcludeRules() { return m_rules; }
    // Uses a rule file's lists for this window instead of the stored ones (never saved).
    bool useRuleFile(const QString& json);
    // Keys of stored rule lists that could not be read when the window was made.
    const QStringList& unreadableRuleKeys() const { return m_unreadableRuleKeys; }
    // Whether the rules may stand as they are: switches of empty lists go off,
    // and a finding of the validation is shown and answers no.
    bool PopupCanClose();

    // The view filter (a bit set; 4095 shows everything), from the setting "filterKeys".
    unsigned iModuleFilter() const { return m_moduleFilter; }
    void setIModuleFilter(unsigned filter) { m_moduleFilter = filter; }
    // The rows the view shows under a node, listing a one-sided folder on demand.
    ViewFilter& view();

    // The column and direction the next run's tree is sorted by.
    void setSortColumn(int column, bool ascending) {
        m_sortColumn = column;
        m_sortAscending = ascending;
    }

    // The user's order of states (setting "sortStateOrder63").
    const std::vector<int>& iCustomSort() const { return m_customSort; }
    void setICustomSort(const std::vector<int>& order, bool store = true);

    // Writes the status header and the two message lines from the finished counters.
    void SetCompareStatus();
    // Whether the size pass after a scan is running.
    bool CalculatingSizes() const { return m_sizeThread != nullptr; }

    // The actions marked on the current tree; a new run starts with none.
    MergeList& mergeList() { return *m_mergeList; }
    // A press of a row's action button (`kind` a ButtonKind, `side` 1 or 2)
    // with `selection` the rows selected with it; the list and the side
    // summaries follow.
    void SetItemsForRow(KItem* row, const std::vector<KItem*>& selection, int kind, int side);
    // Rebuilds the action list from the tree and shows its side summaries
    // (or the status line when nothing is marked).
    void MergeItemsUpdated();
    // Plans a mirror or update sync (a MirrorBits request) on the current
    // tree. Returns the paths of the items an update could not order by date.
    std::vector<std::string> StartMirror2(int syncType, int mirror);
    // After an execution: whether to compare again, asked unless the answer
    // was stored ("dontAskRescan"); a headless run never compares again.
    bool MergeFinishedOk();
    // Whether one of the two folders of the current run lies inside the other:
    // comparing them is possible, synchronising them is not.
    bool rootsNested() const;

    // --- the tree as a window shows it ------------------------------------
    // Whether a row can be opened now: no run is going, subfolders are
    // compared, and it has shown children or is a one-sided folder (those
    // wait for the size pass to end).
    bool canExpand(KItem* item);
    // Lists a one-sided folder's contents into its node, asking nothing on read errors.
    void listOneSidedFolder(KItem* item);
    // Whether a one-sided folder's contents are still to be listed.
    static bool needsListing(const KItem* item);
    // Orders the current tree by a column again. Observers hear
    // aboutToResort() before the order changes and resorted() after.
    void SafeResort(int column, bool ascending);
    UserPrompt& prompt() { return m_prompt; }

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
    void aboutToResort();
    void resorted();
    // Marked actions changed (the list, the badge, the side summaries).
    void actionsChanged();
    void statusChanged(const QString& text);
    void progress(quint64 processed);
    // The fraction read of one large file being compared.
    void fileProgress(double fraction);
    void treeChanged();
    // The run ended; `completed` is false when it was cancelled.
    void compareThreadFinished(bool completed);
    // The sizes of one-sided folders and the counts are in, and the status line is written.
    void sizesCalculated();

private:
    class ScanBridge;

    void CompareThreadFinished();
    // The pair joins the folder history and each side the recently used folders.
    void recordHistory();
    void startSizePass();
    void SizePassFinished();
    void stopSizePass();
    QString AttrStatus(std::int64_t bytes, std::uint64_t files, std::uint64_t folders) const;
    ReadErrorAnswer EnumeratorError(const std::string& path, int error);
    void showAlert(const char* key);
    void setHeader(const QString& text);
    ScanOptions scanOptionsForRun() const;
    void applyRootOptions(KRootItem& root) const;

    UserPrompt& m_prompt;
    Settings& m_settings;
    platform::FileSystem& m_fs;
    WindowState m_state;
    std::unique_ptr<KRootItem> m_root;
    KItem* m_parentItem = nullptr;
    std::unique_ptr<ScanBridge> m_bridge;
    std::unique_ptr<FolderScanner> m_scanner;
    QThread* m_thread = nullptr;
    QThread* m_sizeThread = nullptr;
    std::atomic<bool> m_sizeCancelled{false};
    SizeCache m_sizes;
    unsigned m_moduleFilter = kFilterOff;
    std::unique_ptr<ViewFilter> m_view;
    std::vector<int> m_customSort;
    int m_sortColumn = -1;   // -1: keep the previous run's
    bool m_sortAscending = true;
    std::string m_leftFolderPath, m_rightFolderPath;
    bool m_multiFolder[2] = {false, false};
    KExcludeRules m_rules;
    std::unique_ptr<MergeList> m_mergeList;
    bool m_rulesFromSettings = true;
    QStringList m_unreadableRuleKeys;
    bool m_lastRunCancelled = false;
    bool m_closing = false;   // the controller is being destroyed
    bool m_anyFilterOn = false;
    QString m_lastAlert;
    QString m_snapshotError;
};

}  // namespace qv
