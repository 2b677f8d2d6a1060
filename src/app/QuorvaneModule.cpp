#include "app/QuorvaneModule.h"

#include "app/FileComparisonSession.h"
#include "app/ScriptedExecution.h"
#include "sync/DragCopyQueue.h"
#include "engine/ColumnReader.h"
#include "sync/MergeList.h"
#include "sync/MergeProgress.h"
#include "sync/RenamePattern.h"
#include "sync/MirrorPlanner.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "base/KappHelpQVF.h"
#include "app/history/FolderHistory.h"
#include "app/history/MultiFolderSets.h"
#include "engine/FolderScanner.h"
#include "engine/FolderSizePass.h"
#include "base/PathResolution.h"
#include "engine/SortOrder.h"
#include "engine/StateIcons.h"
#include "engine/ViewFilter.h"
#include "engine/UserPrompt.h"
#include "platform/Volumes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMetaMethod>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include <cstring>
#include <set>

namespace qv {
namespace {

enum class PathKind { Missing, Folder, File };

bool isSnapshotPath(const std::string& path) { return path.size() > 5 && path.ends_with(".qvss"); }

// The scan and the size pass descend a level of recursion per folder level,
// down to the deepest tree the program reads (kMaxTreeDepth): their threads
// get a stack that holds that whatever the system's default.
constexpr uint kTreeWalkStack = 64u << 20;

PathKind kindOf(platform::FileSystem& fs, const std::string& path, bool folderTab) {
    platform::EntryStat st;
    if (path.empty() || fs.statPath(path, true, st) != 0) return PathKind::Missing;
    if (st.type == platform::EntryType::Folder) return PathKind::Folder;
    // On the folder tab a snapshot file stands for the folder it recorded.
    if (folderTab && isSnapshotPath(path)) return PathKind::Folder;
    return PathKind::File;
}

// Runs `call` on the module's thread and waits for it; runs it at once when already there.
template <class F>
void onMainThreadWaiting(QObject* module, F call) {
    if (QThread::currentThread() == module->thread()) call();
    else QMetaObject::invokeMethod(module, call, Qt::BlockingQueuedConnection);
}

}  // namespace

// Hands the scan's reports from the comparison thread (and the threads that
// read files) to the window.
class QuorvaneModule::ScanBridge final : public ScanObserver, public StatusSink {
public:
    explicit ScanBridge(QuorvaneModule& module) : m_module(module) {}

    void scanPhase(const char* key) override {
        QString text = Messages::text(key);
        QMetaObject::invokeMethod(
            &m_module, [this, text] { m_module.setHeader(text, ComparisonStatus::Role::Working); },
            Qt::QueuedConnection);
    }

    void scanProgress(const ScanFigures& f) override {
        QMetaObject::invokeMethod(
            &m_module,
            [this, f] {
                m_module.setHeader(progressText(f), ComparisonStatus::Role::Working);
                m_module.m_status->setProcessed(f.entries);
                if (f.fraction >= 0) m_module.m_status->setProgress(true, false, f.fraction);
                emit m_module.progress(f.entries);
                if (f.bytesToRead > 0)
                    emit m_module.contentProgress(f.bytesRead, f.bytesToRead, f.fraction, f.secondsLeft);
            },
            Qt::QueuedConnection);
    }

    static QString progressText(const ScanFigures& f) {
        const QLocale locale;
        const QString entries = locale.toString(qulonglong(f.entries));
        if (f.bytesToRead <= 0) return Messages::format("StatusLabelItem", entries);
        const QString read = locale.formattedDataSize(f.bytesRead, 1, QLocale::DataSizeSIFormat);
        const QString toRead = locale.formattedDataSize(f.bytesToRead, 1, QLocale::DataSizeSIFormat);
        // No share or time before every pair to read is known and reading has begun.
        if (f.fraction < 0 || f.secondsLeft < 0) return Messages::format("StatusLabelBytes", entries, read, toRead);
        return Messages::format("StatusLabelShare", entries, read, toRead, locale.toString(int(f.fraction * 100)),
                                MergeProgress::FormattedTimeRemaining(f.secondsLeft));
    }

    void contentComparisonSwitchedOff() override {
        QMetaObject::invokeMethod(&m_module, [this] { m_module.m_state.optCmpContents = false; }, Qt::QueuedConnection);
    }

    void scanRedraw() override {
        QMetaObject::invokeMethod(&m_module, [this] { emit m_module.treeChanged(); }, Qt::QueuedConnection);
    }

    void rootLevelListed(KRootItem& root) override {
        onMainThreadWaiting(&m_module, [this, &root] {
            emit m_module.aboutToResort();
            if (FolderPart* f = const_cast<FolderPart*>(root.folderIfAny())) sortByStateOnly(f->children);
            emit m_module.resorted();
        });
    }

    ReadErrorAnswer readError(const std::string& path, int error) override {
        ReadErrorAnswer answer;
        onMainThreadWaiting(&m_module, [&] { answer = m_module.EnumeratorError(path, error); });
        return answer;
    }

    void ruleTimedOut(const std::string& pattern) override {
        const QString text = Messages::format("ruleTimedOut", QString::fromStdString(pattern));
        QMetaObject::invokeMethod(&m_module, [this, text] { m_module.informOrLog(text); }, Qt::QueuedConnection);
    }

    void StartProgress(const std::string& fileName) override {
        const QString text = Messages::format("comparingF", QString::fromUtf8(fileName.c_str()));
        QMetaObject::invokeMethod(
            &m_module,
            [this, text] {
                m_module.setHeader(text, ComparisonStatus::Role::Working);
                m_module.m_status->setProgress(true, false, 0.02);
            },
            Qt::QueuedConnection);
    }

    void SetProgressValue(double fraction) override {
        QMetaObject::invokeMethod(
            &m_module,
            [this, fraction] {
                m_module.m_status->setProgress(true, false, fraction);
                emit m_module.fileProgress(fraction);
            },
            Qt::QueuedConnection);
    }

    void StopProgress() override {
        scanPhase("comparing");
        QMetaObject::invokeMethod(
            &m_module, [this] { m_module.m_status->setProgress(true, true); }, Qt::QueuedConnection);
    }

private:
    QuorvaneModule& m_module;
};

QuorvaneModule::QuorvaneModule(UserPrompt& prompt, Settings& settings, platform::FileSystem& fs, QObject* parent)
    : QObject(parent), m_prompt(prompt), m_settings(settings), m_fs(fs), m_status(new ComparisonStatus(this)),
      m_files(new FileComparisonSession(prompt, settings, this)),
      m_bridge(std::make_unique<ScanBridge>(*this)), m_mergeList(std::make_unique<MergeList>(prompt)) {
    m_state.loadOptions(settings);
    m_unreadableRuleKeys = m_rules.load(settings);
    m_moduleFilter = static_cast<unsigned>(settings.intValue(QStringLiteral("filterKeys")));
    std::vector<int> order;
    for (const QVariant& v : settings.value(QStringLiteral("sortStateOrder63")).toList()) order.push_back(v.toInt());
    // A list too short to order every group falls back to the default.
    setICustomSort(order.size() < 6 ? defaultSortStates() : order, false);
    m_resortTimer.setSingleShot(true);
    connect(&m_resortTimer, &QTimer::timeout, this, &QuorvaneModule::tryResort);
    // A script that asked for a file comparison hears of its end.
    connect(m_files, &FileComparisonSession::comparisonFinished, this, &QuorvaneModule::NotifyIfAppleScript);
    refreshButtons();
}

QuorvaneModule::~QuorvaneModule() {
    // Events handled while waiting below must not start anything new nor
    // reach observers that are going away with this controller.
    m_closing = true;
    // An execution in flight stops here; a script still waiting is told the work did not end.
    m_execution.reset();
    if (CompletionHandler waiting = std::exchange(m_completion, nullptr)) waiting(false);
    blockSignals(true);
    m_status->blockSignals(true);
    m_resortTimer.stop();
    if (m_copyQueue) {
        // A copy in flight is rolled back; its worker may be waiting for an answer from this thread.
        m_copyQueue->cancel();
        while (m_copyQueue->busy()) {
            QCoreApplication::processEvents();
            QThread::msleep(5);
        }
    }
    if (m_thread) {
        // The run ends here, not in CompareThreadFinished.
        disconnect(m_thread, nullptr, this, nullptr);
        m_scanner->cancel();
        // The thread may be waiting for this (main) thread; let it through before waiting.
        while (!m_thread->wait(10)) QCoreApplication::processEvents();
        delete m_thread;
        m_thread = nullptr;
    }
    stopSizePass();
    stopColumnRefresh();
    if (m_clearThread) {
        disconnect(m_clearThread, nullptr, this, nullptr);
        m_clearThread->wait();
        delete m_clearThread;
    }
}

void QuorvaneModule::setICustomSort(const std::vector<int>& order, bool store) {
    m_customSort = order;
    SetSortStates(order);
    if (!store) return;
    QVariantList list;
    for (int s : order) list << s;
    m_settings.store(QStringLiteral("sortStateOrder63"), list);
}

void QuorvaneModule::listOneSidedFolder(KItem* item) {
    if (!canListOnDemand()) return;
    const int side = item->iState == kStateOnlyLeft ? kSideLeft : kSideRight;
    FolderScanner scanner(m_fs, *m_bridge);
    scanner.setOptions(m_runOptions);
    scanner.setRules(m_rules);
    scanner.iDontShowErrors = true;
    scanner.attachRoot(*m_root);
    scanner.SetFolderContent(item, item->PathForSide(side), false, item->iState);
    item->childrenListed = true;
    ViewFilter::forgetShownChildren(*item, false);
}

void QuorvaneModule::SetItemsForRow(KItem* row, const std::vector<KItem*>& selection, int kind, int side) {
    m_mergeList->SetItemsForRow(row, selection, kind, side, -1);
    m_mergeList->UpdateMergedArrayFromCHildren(m_parentItem);
    MergeItemsUpdated();
}

void QuorvaneModule::SetItemsForRow(KItem* row, const std::vector<KItem*>& selection, int kind, int side,
                                    const RenameOptions& options) {
    m_mergeList->SetItemsForRow(row, selection, kind, side, -1, [&options](KItem* item, int action, int previous) {
        SetCopyAsForRow(item, options, action, previous);
    });
    m_mergeList->UpdateMergedArrayFromCHildren(m_parentItem);
    MergeItemsUpdated();
}

void QuorvaneModule::UpdateTagsForSide(const std::vector<KItem*>& items, int side) {
    if (!m_root) return;
    ColumnReader reader(*m_root, m_root->iColumns & kColumnTags, true);
    for (KItem* item : items)
        if (item->hasSide(side)) reader.AddColumns(*item, item->PathForSide(side), side);
    emit rowsUpdated();
}

bool QuorvaneModule::MergeFinishedOk() {
    constexpr int kRescan = 1000, kKeep = 1001;
    if (!m_prompt.showsUI()) return false;
    const int stored = static_cast<int>(m_settings.intValue(QStringLiteral("dontAskRescan")));
    if (stored == kRescan || stored == kKeep) return stored == kRescan;
    const Answer a = m_prompt.ask({Messages::text("mergeMsg1"), Messages::text("mergeMsg2"),
                                   {Messages::text("rescan"), Messages::text("cancel")}, true});
    const int answer = a.button == 0 ? kRescan : kKeep;
    if (a.suppress) m_settings.store(QStringLiteral("dontAskRescan"), answer);
    else m_settings.remove(QStringLiteral("dontAskRescan"));
    return answer == kRescan;
}

bool QuorvaneModule::rootsNested() const {
    if (m_leftFolderPath.empty() || m_rightFolderPath.empty()) return false;
    return isSameOrInside(m_leftFolderPath, m_rightFolderPath, m_fs) ||
           isSameOrInside(m_rightFolderPath, m_leftFolderPath, m_fs);
}

std::vector<std::string> QuorvaneModule::StartMirror2(int syncType, int mirror) {
    std::vector<KItem*> cantSync;
    if (!m_parentItem || mirror == 0) return {};
    const MirrorPlanner planner(syncType, mirror, m_settings.boolValue(QStringLiteral("mirrorOnlyOrphan")));
    planner.SelectForMirror(m_parentItem, cantSync);
    m_mergeList->UpdateMergedArrayFromCHildren(m_parentItem);
    MergeItemsUpdated();
    return MirrorPlanner::notSyncedLines(cantSync);
}

bool QuorvaneModule::useRuleFile(const QString& json) {
    KExcludeRules rules;
    if (!rules.fromJson(json)) return false;
    m_rules = std::move(rules);
    m_rulesFromSettings = false;
    return true;
}

void QuorvaneModule::SaveRules() {
    if (m_rulesFromSettings) m_rules.save(m_settings);
}

bool QuorvaneModule::PopupCanClose() {
    m_rules.CorrectCheckboxes(m_rulesFromSettings ? &m_settings : nullptr);
    const std::vector<KExcludeRuleIssue> issues = m_rules.validateAllRules();
    if (issues.empty()) return true;
    QStringList lines;
    for (const KExcludeRuleIssue& issue : issues) lines << issue.message;
    const QString details = lines.join('\n');
    if (m_lastAlert.isEmpty()) m_lastAlert = Messages::text("ruleIssue") + '\n' + details;
    // Without a window the findings are only reported, never answered away.
    if (m_prompt.showsUI()) m_prompt.inform(Messages::text("ruleIssue"), details);
    return false;
}

void QuorvaneModule::setHeader(const QString& text, ComparisonStatus::Role role) {
    m_status->setHeader(text, role, m_status->headerTooltip());
}

void QuorvaneModule::informOrLog(const QString& text) {
    if (m_prompt.showsUI()) m_prompt.inform(text);
    else qWarning("%s", qPrintable(text));
}

void QuorvaneModule::showAlert(const char* key) {
    const QString text = Messages::text(key);
    if (m_lastAlert.isEmpty()) m_lastAlert = text;
    m_prompt.inform(text);
}

ReadErrorAnswer QuorvaneModule::EnumeratorError(const std::string& path, int error) {
    const QString details = Messages::format("readErrorLine", QString::fromUtf8(path.c_str()),
                                             QString::fromLocal8Bit(std::strerror(error)));
    ReadErrorAnswer result;
    if (m_prompt.showsUI()) {
        Question q{Messages::text("dirAccessErr"), details,
                   {Messages::text("continue"), Messages::text("StopBtn")}, true};
        const Answer a = m_prompt.ask(q);
        result.dontShowAgain = a.suppress;
        result.stop = a.button == 1;
    } else {
        qWarning("Error: %s", qPrintable(details));
    }
    return result;
}

bool QuorvaneModule::CheckComparedFolders(bool folderTab) {
    std::string* paths[2] = {&m_state.leftPath, &m_state.rightPath};
    QString messages[2];
    PathKind kinds[2];
    bool changed = false;
    for (int i = 0; i < 2; ++i) {
        if (!isMultiFolderSide(i + 1)) {
            std::string resolved = paths[i]->empty() ? std::string() : StringByResolvingSymlinksAndAliases(*paths[i], m_fs);
            changed = changed || resolved != *paths[i];
            *paths[i] = std::move(resolved);
        }
        kinds[i] = kindOf(m_fs, *paths[i], folderTab);
        if (kinds[i] == PathKind::Missing) messages[i] = Messages::text(paths[i]->empty() ? "notset" : "Inaccessible");
    }
    if (changed) emit pathsChanged();
    if (folderTab) m_status->setPlainLines(messages[0], messages[1]);
    if (kinds[0] == PathKind::Missing || kinds[1] == PathKind::Missing) {
        setHeader(Messages::text(folderTab ? "SelCmpDirs" : "SelCmpDirs2"), ComparisonStatus::Role::Error);
        return false;
    }
    if (kinds[0] != kinds[1]) {
        setHeader(Messages::text(folderTab ? "leftRightNotFolder" : "leftRightNotFile"), ComparisonStatus::Role::Error);
        return false;
    }
    const bool folders = kinds[0] == PathKind::Folder;
    if (folders != folderTab) {
        m_state.selectedTab = folders ? WindowState::FolderTab : WindowState::FileTab;
        emit selectedTabChanged(m_state.selectedTab);
    }
    if (m_state.leftPath == m_state.rightPath) {
        setHeader(Messages::text("sameFiles"), ComparisonStatus::Role::Error);
        return false;
    }
    setHeader(Messages::text("StartCmp"), ComparisonStatus::Role::Neutral);
    if (folderTab) {
        m_status->setPlainLines({}, {});
        m_parentItem = nullptr;
    }
    return true;
}

bool QuorvaneModule::FoldersOk(bool folderTab) {
    const std::string& left = m_state.leftPath;
    const std::string& right = m_state.rightPath;
    if (left.empty()) return showAlert("emptyLeft"), false;
    if (right.empty()) return showAlert("emptyRight"), false;
    if (left == right) return showAlert("sameFiles"), false;
    const PathKind l = kindOf(m_fs, left, folderTab), r = kindOf(m_fs, right, folderTab);
    if (l == PathKind::Missing) return showAlert(folderTab ? "leftFolderDontExist" : "leftFileDontExist"), false;
    if (r == PathKind::Missing) return showAlert(folderTab ? "rightFolderDontExist" : "rightFileDontExist"), false;
    const PathKind wanted = folderTab ? PathKind::Folder : PathKind::File;
    if (l != wanted || r != wanted) return showAlert(folderTab ? "leftRightNotFolder" : "leftRightNotFile"), false;
    return true;
}

void QuorvaneModule::CheckForCaseSensDrives() {
    const bool left = platform::isCaseSensitive(m_leftFolderPath);
    const bool right = platform::isCaseSensitive(m_rightFolderPath);
    if (!left && !right) {
        m_state.caseSensitivityNote.clear();
    } else if (left && right) {
        m_state.caseSensitivityNote = Messages::text("csMsg1");
    } else {
        const std::string mountPoint = platform::mountOf(left ? m_leftFolderPath : m_rightFolderPath).mountPoint;
        const std::string name(lastPathComponent(mountPoint));
        m_state.caseSensitivityNote = Messages::format("csMsg2", QString::fromUtf8(name.c_str()));
    }
}

ScanOptions QuorvaneModule::scanOptionsForRun() const {
    ScanOptions o;
    o.iDisableAllFilters = m_settings.boolValue(QStringLiteral("cmpEverything"));
    o.iIgnoreSubfolders = o.iDisableAllFilters ? false : !m_state.optSubfolders;
    o.iIncludeHidden = o.iDisableAllFilters || m_state.optHidden;
    o.iIncludeAliases = o.iDisableAllFilters || m_state.optIncludeAliases;
    o.iIgnoreExtensions = m_settings.boolValue(QStringLiteral("optIgnoreExt"));
    o.iCalculateSameCompare = m_settings.boolValue(QStringLiteral("calculateSameCompare"));
    return o;
}

void QuorvaneModule::applyRootOptions(KRootItem& root) const {
    root.iIgnoreDate = m_state.optIgnoreDate;
    root.iIgnore2secDate = m_state.optIgnore2secDate;
    root.iCmpFileContents = m_state.optCmpContents;
    root.iResolveAliases = m_state.optResolveAliases;
    root.iCmpRsrc = m_state.optCompareRsrc;
    root.iCmpTags = m_state.optCompareTags;
    root.iIgnoreExt = m_settings.boolValue(QStringLiteral("optIgnoreExt"));
    root.iFoldersOnTop = m_settings.boolValue(QStringLiteral("optFoldersTop"));
    if (m_settings.boolValue(QStringLiteral("optIgnoreSize"))) {
        root.iIgnoreSizeValue = m_settings.stringValue(QStringLiteral("optIgnoreSizeValue")).toLongLong();
        root.iIgnoreSizeIn = m_settings.intValue(QStringLiteral("optIgnoreSizeIn"));
    }
    root.iColumns = columnsForRun();
    root.iColorLabels = colorLabelsWithColumns();
}

bool QuorvaneModule::Compare(bool scripted) {
    m_lastAlert.clear();
    if (!PopupCanClose()) return false;
    if (m_thread) {
        Cancel();
        for (KItem* child : m_root->iChildren())
            if (child->iCmpState != 2) child->iCmpState = 0;
        emit treeChanged();
        return false;
    }
    // A comparison asked for by hand plans no sync afterwards; a scripted one plans the last one again.
    if (!scripted) m_iMirror = 0;
    if (!scripted && !m_mergeList->iMergeItems().empty()) {
        // A new run replaces the tree the actions are marked on.
        if (askToClearActions()) {
            m_mergeList->ClearMerge();
            MergeItemsUpdated();
            QTimer::singleShot(0, this, [this, scripted] { Compare(scripted); });
        }
        return false;
    }
    return startRun();
}

bool QuorvaneModule::askToClearActions() {
    if (m_settings.boolValue(QStringLiteral("dontAskClear")) || !m_prompt.showsUI()) return true;
    const Answer answer = m_prompt.ask(
        {Messages::text("mergeClear"), Messages::text("mergeClear1"), {Messages::text("OK"), Messages::text("cancel")}, true});
    if (answer.button != 0) return false;
    m_settings.store(QStringLiteral("dontAskClear"), answer.suppress);
    return true;
}

bool QuorvaneModule::startRun() {
    // The open rows are remembered for a new comparison of the same two folders.
    const std::string previousLeft = m_leftFolderPath, previousRight = m_rightFolderPath;
    m_expanded.clear();
    if (m_parentItem) StoreExpandedItems();

    m_state.leftPath = withoutTrailingSlash(m_state.leftPath);
    m_state.rightPath = withoutTrailingSlash(m_state.rightPath);
    CheckComparedFolders(true);
    if (m_state.selectedTab != WindowState::FolderTab) return false;
    if (!FoldersOk(true)) return false;
    m_leftFolderPath = m_state.leftPath;
    m_rightFolderPath = m_state.rightPath;
    if (m_leftFolderPath != previousLeft || m_rightFolderPath != previousRight) m_expanded.clear();

    CheckForCaseSensDrives();
    m_parentItem = nullptr;
    recordHistory();
    stopSizePass();
    stopColumnRefresh();
    m_resortTimer.stop();
    m_resortAfterColumns = false;
    m_sizes.clear();
    m_view.reset();
    m_restoredExpanded.clear();
    m_mergeList->ClearMerge();

    std::unique_ptr<KRootItem> root = KRootItem::ItemWithFolder(m_rightFolderPath, kSideRight);
    root->SetDateColumns(m_leftFolderPath, kSideLeft);
    root->setILeftPath(m_leftFolderPath);
    root->setIRightPath(m_rightFolderPath);
    if (m_sortColumn >= 0) {
        root->iSortingColumn = m_sortColumn;
        root->iSortAscending = m_sortAscending;
    } else if (m_root) {
        root->iSortingColumn = m_root->iSortingColumn;
        root->iSortAscending = m_root->iSortAscending;
    } else {
        root->iSortingColumn = kColumnState;
    }
    applyRootOptions(*root);
    root->iMultiFolder = (isMultiFolderSide(kSideLeft) ? 1 : 0) + (isMultiFolderSide(kSideRight) ? 2 : 0);
    root->iStatus = m_bridge.get();
    emit runStarted();
    m_root = std::move(root);   // the old tree is released here
    m_lastRunCancelled = false;

    m_runOptions = scanOptionsForRun();
    m_scanner = std::make_unique<FolderScanner>(m_fs, *m_bridge);
    m_scanner->setOptions(m_runOptions);
    m_scanner->setRules(m_rules);
    KRootItem* runRoot = m_root.get();
    FolderScanner* scanner = m_scanner.get();
    m_thread = QThread::create([scanner, runRoot] { scanner->CompareThread(*runRoot); });
    m_thread->setStackSize(kTreeWalkStack);
    connect(m_thread, &QThread::finished, this, &QuorvaneModule::CompareThreadFinished, Qt::QueuedConnection);
    m_status->setHeader(Messages::text("scanning"), ComparisonStatus::Role::Working);
    m_status->setProcessed(0);
    m_status->setProgress(true, true);
    m_thread->start();
    refreshButtons();
    emit treeChanged();
    return true;
}

void QuorvaneModule::recordHistory() {
    // Paths not to be saved would be dropped again at quit; what was stored stays as it is.
    if (!m_settings.boolValue(QStringLiteral("savePaths"))) return;
    const auto name = [](const std::string& path) { return QFile::decodeName(path.c_str()); };
    FolderHistory(m_settings, true).StoreFolderHistory(name(m_leftFolderPath), name(m_rightFolderPath));
    // A set of folders has no single path to offer in a path field's own menu.
    KLastFolders folders(m_settings, QStringLiteral("lastFolders"));
    for (int side : {kSideLeft, kSideRight})
        if (!isMultiFolderSide(side)) folders.AddFolder(name(side == kSideLeft ? m_leftFolderPath : m_rightFolderPath));
    folders.store();
}

bool QuorvaneModule::CanAddMultiFolders(const QStringList& folders) {
    if (folders.isEmpty()) return false;
    for (const QString& f : folders)
        if (!QFileInfo(f).isDir()) return false;
    return true;
}

bool QuorvaneModule::AddMultiFolders(const QStringList& folders, int side) {
    if (!CanAddMultiFolders(folders)) return false;
    std::string& field = side == kSideLeft ? m_state.leftPath : m_state.rightPath;
    QString set;
    QStringList members = folders;
    if (isMultiFolderSide(side)) {
        set = QFile::decodeName(field.c_str());
    } else {
        if (KappHelpQVF::ApplicationSupportDirectory().isEmpty()) return false;
        const QString sets = MultiFolderSets::setsFolder();
        if (!QDir().mkpath(sets)) return false;
        const QString name = KappHelpQVF::GetNewUniqueDir(sets, QStringLiteral("mf"), false);
        if (name.isEmpty() || !QDir(sets).mkdir(name)) return false;
        set = sets + '/' + name;
        // The folder the field held before becomes the set's first member.
        if (!field.empty() && QFileInfo(QFile::decodeName(field.c_str())).isDir())
            members.prepend(QFile::decodeName(field.c_str()));
    }
    for (const QString& folder : members) {
        if (!KappHelpQVF::CreateAliasTo(folder, set)) {
            if (!isMultiFolderSide(side)) QDir(set).removeRecursively();
            return false;
        }
    }
    field = QFile::encodeName(set).toStdString();
    m_multiFolder[side == kSideLeft ? 0 : 1] = true;
    emit pathsChanged();
    return true;
}

void QuorvaneModule::ClearNotUsedMultiFolders() {
    if (m_clearThread) return;
    std::set<QString> keep = MultiFolderSets::referencedSets(m_settings);
    // The sets in this window's fields are in use even before they are compared.
    for (int side : {kSideLeft, kSideRight})
        if (isMultiFolderSide(side))
            keep.insert(QDir::cleanPath(QFile::decodeName((side == kSideLeft ? m_state.leftPath : m_state.rightPath).c_str())));
    auto removed = std::make_shared<int>(0);
    m_clearThread = QThread::create([keep = std::move(keep), removed] { *removed = MultiFolderSets::removeSetsExcept(keep); });
    connect(m_clearThread, &QThread::finished, this, [this, removed] {
        m_clearThread->wait();
        delete m_clearThread;
        m_clearThread = nullptr;
        emit multiFoldersCleared(*removed);
    }, Qt::QueuedConnection);
    m_clearThread->start();
}

void QuorvaneModule::ExchangeFolders() {
    std::swap(m_state.leftPath, m_state.rightPath);
    std::swap(m_multiFolder[0], m_multiFolder[1]);
    emit pathsChanged();
}

bool QuorvaneModule::CompareItem1(const std::string& item1, const std::string& item2) {
    const PathKind first = kindOf(m_fs, item1, true), second = kindOf(m_fs, item2, true);
    if (first == PathKind::Missing || first != second) return false;
    const qint64 where = m_settings.intValue(QStringLiteral("openCompareIn2"));
    const OpenTarget target = where == 1 ? OpenTarget::Tab : where == 2 ? OpenTarget::TabOfOpenedWindow
                                                                        : OpenTarget::NewWindow;
    if (isSignalConnected(QMetaMethod::fromSignal(&QuorvaneModule::openComparisonRequested))) {
        emit openComparisonRequested(QFile::decodeName(item1.c_str()), QFile::decodeName(item2.c_str()), target);
        return true;
    }
    // Without a window the pair is compared by a controller of its own.
    auto pair = std::make_unique<QuorvaneModule>(m_prompt, m_settings, m_fs);
    pair->iOpenedByDoubleClick = true;
    pair->state().leftPath = item1;
    pair->state().rightPath = item2;
    const bool started = pair->Compare(true);
    m_opened.push_back(std::move(pair));
    return started;
}

void QuorvaneModule::Cancel() {
    if (!m_thread) return;
    m_scanner->cancel();
    m_status->setHeader(Messages::text("aborting"), ComparisonStatus::Role::Working, {});
    m_status->setProgress(true, true);
    refreshButtons();
}

void QuorvaneModule::CompareThreadFinished() {
    if (!m_thread || m_closing) return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_parentItem = m_root.get();
    m_anyFilterOn = m_scanner->iAnyFilterOn;
    m_lastRunCancelled = m_scanner->isCancelled();
    m_snapshotError = m_scanner->iSnapshotError.empty()
                          ? QString()
                          : QFile::decodeName(m_scanner->iSnapshotError.c_str()) + QStringLiteral(": ") +
                                Messages::text(m_scanner->iSnapshotErrorReason.c_str());
    m_status->setProgress(false, true);
    if (!m_snapshotError.isEmpty()) {
        // No scan ran: the run ends here, with the reason.
        const QString details = Messages::text("snapErr1") + '\n' + m_snapshotError;
        m_lastAlert = Messages::text("snapErr0") + '\n' + details;
        m_status->setHeader(Messages::text("snapErr0"), ComparisonStatus::Role::Error, {});
        refreshButtons();
        m_prompt.inform(Messages::text("snapErr0"), details);
        emit treeChanged();
        emit compareThreadFinished(false);
        NotifyIfAppleScript();
        return;
    }
    if (m_lastRunCancelled) {
        m_status->setHeader(Messages::text("TaskAborted"), ComparisonStatus::Role::Neutral, {});
        for (KItem* child : m_root->iChildren())
            if (child->iCmpState == 1) child->iCmpState = 0;
        SetCompareStatus();
    } else {
        for (KItem* child : m_root->iChildren()) child->iCmpState = 2;
        if (!m_root->iChildren().empty()) RestoreExpandedItems();
        tryResort();
    }
    refreshButtons();
    MergeItemsUpdated();
    emit treeChanged();
    if (!m_lastRunCancelled) {
        startSizePass();
        // Columns switched on while the scan ran are read now.
        RefreshColumns();
    }
    emit compareThreadFinished(!m_lastRunCancelled);
    // A completed run answers a script once the sizes and counts are in.
    if (m_lastRunCancelled) NotifyIfAppleScript();
}

void QuorvaneModule::stopSizePass() {
    if (!m_sizeThread) return;
    m_sizeCancelled = true;
    // The thread's end may be handled while events are processed here.
    while (m_sizeThread && !m_sizeThread->wait(10)) QCoreApplication::processEvents();
    delete m_sizeThread;
    m_sizeThread = nullptr;
}

void QuorvaneModule::startSizePass() {
    stopSizePass();
    const QString calculating = Messages::text("calcFolderSizes");
    m_status->setPlainLines(calculating, calculating);
    m_sizeCancelled = false;
    auto pass = std::make_shared<FolderSizePass>(m_fs, m_runOptions, &m_rules, m_sizes);
    KRootItem* root = m_root.get();
    std::vector<SizeRequest> queue = m_scanner->iToCalcFolders;
    m_sizeThread = QThread::create([pass, root, queue = std::move(queue), this] {
        pass->CalculateFolderSize(*root, queue, m_sizeCancelled);
    });
    m_sizeThread->setStackSize(kTreeWalkStack);
    const unsigned generation = ++m_sizeGeneration;
    connect(m_sizeThread, &QThread::finished, this, [this, generation] { SizePassFinished(generation); },
            Qt::QueuedConnection);
    m_sizeThread->start();
}

void QuorvaneModule::SizePassFinished(unsigned generation) {
    if (!m_sizeThread || generation != m_sizeGeneration || m_closing) return;   // stopped and awaited already
    m_sizeThread->wait();
    delete m_sizeThread;
    m_sizeThread = nullptr;
    if (m_sizeCancelled) return;
    // Ignore marks set while the pass counted are counted again.
    if (m_recountStats) FolderSizePass::RecountStats(*m_root);
    m_recountStats = false;
    // One-sided folders could not be looked into while the pass ran: filter the rows again.
    if (m_view && m_moduleFilter != kFilterOff) ViewFilter::forgetShownChildren(*m_root, true);
    SetCompareStatusIfNotMerge();
    refreshButtons();
    emit treeChanged();
    emit sizesCalculated();
    // A sync asked for before this run is planned on its result.
    if (m_iMirror != 0) StartMirror2(m_iSyncType, m_iMirror);
    NotifyIfAppleScript();
}

void QuorvaneModule::refreshButtons() {
    ComparisonStatus::Buttons b;
    const bool running = m_thread != nullptr;
    const bool tree = m_parentItem != nullptr && !running && m_root && m_snapshotError.isEmpty();
    const bool snapshotSide = m_root && (m_root->iSnapshot1 || m_root->iSnapshot2);
    b.stop = running;
    // Once asked to stop, the button waits for the run to end.
    b.compare = !(running && m_scanner && m_scanner->isCancelled());
    b.controls = !running;
    b.sync = tree && !snapshotSide;
    b.execute = !running && !snapshotSide && !m_mergeList->iMergeItems().empty();
    b.nextDiff = b.prevDiff = tree && m_parentItem->iState != kStateEqual;
    b.exportTree = tree;
    m_status->setButtons(b);
}

QString QuorvaneModule::byteText(std::int64_t bytes) const {
    const QLocale locale;
    if (m_settings.boolValue(QStringLiteral("sizeInBytes")))
        return Messages::format("byteCount", locale.toString(static_cast<qlonglong>(bytes)));
    return locale.formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

void QuorvaneModule::SetCompareStatus() {
    KItem* top = m_parentItem;
    if (!top) return;
    if (m_lastRunCancelled) {
        m_status->setHeader(m_status->header(), m_status->headerRole(), {});
        const QString aborted = Messages::text("TaskAborted");
        m_status->setPlainLines(aborted, aborted);
        return;
    }
    const QLocale locale;
    const auto number = [&locale](std::uint64_t n) { return locale.toString(static_cast<qulonglong>(n)); };
    const bool equal = top->iState == kStateEqual;
    const std::uint64_t n = NumberOfDifferences(*m_root);
    QString header = Messages::text(equal ? "FoldersEqual" : "FoldersDiff0");
    if (!equal && n > 0) header += Messages::format("FoldersDiff", number(n));
    if (m_anyFilterOn) header += QStringLiteral(" \u24D8");
    m_status->setHeader(header, equal ? ComparisonStatus::Role::Equal : ComparisonStatus::Role::Different,
                        m_anyFilterOn ? Messages::text("filterIsOn") : QString());

    const FolderPart none;
    const FolderPart& c = top->folderIfAny() ? *top->folderIfAny() : none;
    const bool filterMark = m_anyFilterOn && !m_settings.boolValue(QStringLiteral("calculateSameCompare"));
    const bool differs[3] = {top->iSize1 != top->iSize2, c.iFiles1 != c.iFiles2, c.iFolders1 != c.iFolders2};
    ComparisonStatus::Line left = ComparisonStatus::totalsLine(byteText(top->iSize1), c.iFiles1, c.iFolders1, differs, filterMark);
    ComparisonStatus::Line right = ComparisonStatus::totalsLine(byteText(top->iSize2), c.iFiles2, c.iFolders2, differs, filterMark);
    if (filterMark) left.tooltip = right.tooltip = Messages::text("filterIsOn2");
    if (!equal) {
        const FolderPart& r = m_root->folderIfAny() ? *m_root->folderIfAny() : none;
        left.tooltip = Messages::format("difsAndOrph", number(r.iDiffs1), number(r.iOrphans1));
        right.tooltip = Messages::format("difsAndOrph", number(r.iDiffs2), number(r.iOrphans2));
    }
    m_status->setLines(left, right);
}

void QuorvaneModule::SetCompareStatusIfNotMerge() {
    if (m_status->showsActionSummary()) MergeItemsUpdated();
    else SetCompareStatus();
}

void QuorvaneModule::MergeItemsUpdated() {
    m_status->setBadge(m_mergeList->badgeText());
    refreshButtons();
    const std::vector<KItem*>& items = m_mergeList->iMergeItems();
    if (items.empty()) {
        if (m_status->showsActionSummary()) SetCompareStatus();
        emit actionsChanged();
        return;
    }
    MergeSummary summary;
    MergeList::ChildrenOf(items, summary);
    QString left, right;
    MergeList::sideMessages(summary, true, m_settings.boolValue(QStringLiteral("sizeInBytes")), left, right);
    ComparisonStatus::Line l, r;
    if (!left.isEmpty()) l.segments.push_back({left});
    if (!right.isEmpty()) r.segments.push_back({right});
    m_status->setLines(l, r, true);
    emit actionsChanged();
}

const char* QuorvaneModule::EqualImage(const KItem& item) const {
    return m_root ? qv::EqualImage(item, *m_root) : "equal2";
}

}  // namespace qv
