#include "app/QuorvaneModule.h"

#include "sync/MergeList.h"
#include "sync/MirrorPlanner.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "base/KappHelpQVF.h"
#include "app/history/FolderHistory.h"
#include "engine/FolderScanner.h"
#include "engine/FolderSizePass.h"
#include "base/PathResolution.h"
#include "engine/SortOrder.h"
#include "engine/ViewFilter.h"
#include "engine/UserPrompt.h"
#include "platform/Volumes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMutexLocker>
#include <QThread>
#include <QTimer>

#include <cstring>

namespace qv {
namespace {

enum class PathKind { Missing, Folder, File };

bool isSnapshotPath(const std::string& path) { return path.size() > 5 && path.ends_with(".qvss"); }

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
        QMetaObject::invokeMethod(&m_module, [this, text] { m_module.setHeader(text); }, Qt::QueuedConnection);
    }

    void scanProgress(std::uint64_t processed) override {
        QMetaObject::invokeMethod(
            &m_module,
            [this, processed] {
                m_module.setHeader(Messages::format("StatusLabelItem", QLocale().toString(qulonglong(processed))));
                emit m_module.progress(processed);
            },
            Qt::QueuedConnection);
    }

    void contentComparisonSwitchedOff() override {
        QMetaObject::invokeMethod(&m_module, [this] { m_module.m_state.optCmpContents = false; }, Qt::QueuedConnection);
    }

    void scanRedraw() override {
        QMetaObject::invokeMethod(&m_module, [this] { emit m_module.treeChanged(); }, Qt::QueuedConnection);
    }

    void rootLevelListed(KRootItem& root) override {
        onMainThreadWaiting(&m_module, [&root] {
            if (FolderPart* f = const_cast<FolderPart*>(root.folderIfAny())) sortByStateOnly(f->children);
        });
    }

    ReadErrorAnswer readError(const std::string& path, int error) override {
        ReadErrorAnswer answer;
        onMainThreadWaiting(&m_module, [&] { answer = m_module.EnumeratorError(path, error); });
        return answer;
    }

    void StartProgress(const std::string& fileName) override {
        const QString text = Messages::format("comparingF", QString::fromUtf8(fileName.c_str()));
        QMetaObject::invokeMethod(&m_module, [this, text] { m_module.setHeader(text); }, Qt::QueuedConnection);
    }

    void SetProgressValue(double fraction) override {
        QMetaObject::invokeMethod(&m_module, [this, fraction] { emit m_module.fileProgress(fraction); },
                                  Qt::QueuedConnection);
    }

    void StopProgress() override { scanPhase("comparing"); }

private:
    QuorvaneModule& m_module;
};

QuorvaneModule::QuorvaneModule(UserPrompt& prompt, Settings& settings, platform::FileSystem& fs, QObject* parent)
    : QObject(parent), m_prompt(prompt), m_settings(settings), m_fs(fs), m_bridge(std::make_unique<ScanBridge>(*this)),
      m_mergeList(std::make_unique<MergeList>(prompt)) {
    m_state.loadOptions(settings);
    m_unreadableRuleKeys = m_rules.load(settings);
    m_moduleFilter = static_cast<unsigned>(settings.intValue(QStringLiteral("filterKeys")));
    std::vector<int> order;
    for (const QVariant& v : settings.value(QStringLiteral("sortStateOrder63")).toList()) order.push_back(v.toInt());
    // A list too short to order every group falls back to the default.
    setICustomSort(order.size() < 6 ? defaultSortStates() : order, false);
}

void QuorvaneModule::setICustomSort(const std::vector<int>& order, bool store) {
    m_customSort = order;
    SetSortStates(order);
    if (!store) return;
    QVariantList list;
    for (int s : order) list << s;
    m_settings.store(QStringLiteral("sortStateOrder63"), list);
}

ViewFilter& QuorvaneModule::view() {
    if (!m_view || m_view->iModuleFilter() != m_moduleFilter) {
        // One-sided folders are listed when the filter needs to look inside them.
        auto lister = [this](KItem* node) { listOneSidedFolder(node); };
        m_view = std::make_unique<ViewFilter>(*m_root, m_moduleFilter, m_fs, lister);
    }
    return *m_view;
}

void QuorvaneModule::listOneSidedFolder(KItem* node) {
    if (!m_root || m_thread) return;
    const int side = node->iState == kStateOnlyLeft ? kSideLeft : kSideRight;
    FolderScanner scanner(m_fs, *m_bridge);
    scanner.setOptions(scanOptionsForRun());
    scanner.iDontShowErrors = true;
    scanner.attachRoot(*m_root);
    scanner.SetFolderContent(node, node->PathForSide(side), false, node->iState);
    node->folder().listedOnDemand = true;   // even when empty or gone: not listed again
}

bool QuorvaneModule::needsListing(const KItem* item) {
    if (item->iState != kStateOnlyLeft && item->iState != kStateOnlyRight) return false;
    if (!item->iDir1 && !item->iDir2) return false;
    const FolderPart* f = item->folderIfAny();
    return !f || (f->children.empty() && !f->listedOnDemand);
}

bool QuorvaneModule::canExpand(KItem* item) {
    if (!item || m_thread || !m_root) return false;
    if (!m_state.optSubfolders && !m_settings.boolValue(QStringLiteral("cmpEverything"))) return false;
    const bool oneSided = item->iState == kStateOnlyLeft || item->iState == kStateOnlyRight;
    if (oneSided) return (item->iDir1 || item->iDir2) && !m_sizeThread;
    return !view().FilteredObjectsForModule(item).empty();
}

void QuorvaneModule::SafeResort(int column, bool ascending) {
    m_sortColumn = column;
    m_sortAscending = ascending;
    if (!m_root) return;
    // A running scan holds the tree; the order it finishes with is the new one.
    if (!m_root->iSemafor().tryLock()) {
        QTimer::singleShot(100, this, [this, column, ascending] {
            if (m_sortColumn == column && m_sortAscending == ascending) SafeResort(column, ascending);
        });
        return;
    }
    emit aboutToResort();
    m_root->iSortingColumn = column;
    m_root->iSortAscending = ascending;
    m_root->Resort();
    m_root->iSemafor().unlock();
    emit resorted();
}

void QuorvaneModule::SetItemsForRow(KItem* row, const std::vector<KItem*>& selection, int kind, int side) {
    m_mergeList->SetItemsForRow(row, selection, kind, side, -1);
    MergeItemsUpdated();
}

void QuorvaneModule::MergeItemsUpdated() {
    if (!m_parentItem) return;
    m_mergeList->UpdateMergedArrayFromCHildren(m_parentItem);
    if (m_mergeList->iMergeItems().empty()) {
        SetCompareStatus();
    } else {
        MergeSummary summary;
        MergeList::ChildrenOf(m_mergeList->iMergeItems(), summary);
        MergeList::sideMessages(summary, !CalculatingSizes(), m_settings.boolValue(QStringLiteral("sizeInBytes")),
                                m_state.leftMessage, m_state.rightMessage);
    }
    emit actionsChanged();
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

QuorvaneModule::~QuorvaneModule() {
    // Events handled while waiting below must not start anything new nor
    // reach observers that are going away with this controller.
    m_closing = true;
    blockSignals(true);
    if (m_thread) {
        m_scanner->cancel();
        // The thread may be waiting for this (main) thread; let it through before waiting.
        while (!m_thread->wait(10)) QCoreApplication::processEvents();
        delete m_thread;
        m_thread = nullptr;
    }
    stopSizePass();
}

void QuorvaneModule::setHeader(const QString& text) {
    m_state.headerStatus = text;
    emit statusChanged(text);
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
    QString* messages[2] = {&m_state.leftMessage, &m_state.rightMessage};
    PathKind kinds[2];
    for (int i = 0; i < 2; ++i) {
        if (!isMultiFolderSide(i + 1))
            *paths[i] = paths[i]->empty() ? std::string() : StringByResolvingSymlinksAndAliases(*paths[i], m_fs);
        kinds[i] = kindOf(m_fs, *paths[i], folderTab);
        if (folderTab) {
            if (kinds[i] == PathKind::Missing)
                *messages[i] = Messages::text(paths[i]->empty() ? "notset" : "Inaccessible");
            else
                messages[i]->clear();
        }
    }
    if (kinds[0] == PathKind::Missing || kinds[1] == PathKind::Missing) {
        setHeader(Messages::text(folderTab ? "SelCmpDirs" : "SelCmpDirs2"));
        return false;
    }
    if (kinds[0] != kinds[1]) {
        setHeader(Messages::text(folderTab ? "leftRightNotFolder" : "leftRightNotFile"));
        return false;
    }
    const bool folders = kinds[0] == PathKind::Folder;
    if (folders != folderTab) m_state.selectedTab = folders ? WindowState::FolderTab : WindowState::FileTab;
    if (m_state.leftPath == m_state.rightPath) {
        setHeader(Messages::text("sameFiles"));
        return false;
    }
    setHeader(Messages::text("StartCmp"));
    if (folderTab) {
        m_state.leftMessage.clear();
        m_state.rightMessage.clear();
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
}

bool QuorvaneModule::Compare(bool scripted) {
    Q_UNUSED(scripted);
    m_lastAlert.clear();
    if (!PopupCanClose()) return false;
    if (m_thread) {
        Cancel();
        for (KItem* child : m_root->iChildren())
            if (child->iCmpState != 2) child->iCmpState = 0;
        emit treeChanged();
        return false;
    }
    m_state.leftPath = withoutTrailingSlash(m_state.leftPath);
    m_state.rightPath = withoutTrailingSlash(m_state.rightPath);
    CheckComparedFolders(true);
    if (m_state.selectedTab != WindowState::FolderTab) return false;
    if (!FoldersOk(true)) return false;
    m_leftFolderPath = m_state.leftPath;
    m_rightFolderPath = m_state.rightPath;

    CheckForCaseSensDrives();
    m_parentItem = nullptr;
    recordHistory();
    stopSizePass();
    m_sizes.clear();
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
    m_view.reset();
    m_root = std::move(root);   // the old tree is released here
    m_lastRunCancelled = false;

    m_scanner = std::make_unique<FolderScanner>(m_fs, *m_bridge);
    m_scanner->setOptions(scanOptionsForRun());
    m_scanner->setRules(m_rules);
    KRootItem* runRoot = m_root.get();
    FolderScanner* scanner = m_scanner.get();
    m_thread = QThread::create([scanner, runRoot] { scanner->CompareThread(*runRoot); });
    connect(m_thread, &QThread::finished, this, &QuorvaneModule::CompareThreadFinished, Qt::QueuedConnection);
    setHeader(Messages::text("scanning"));
    m_thread->start();
    return true;
}

void QuorvaneModule::recordHistory() {
    // A set of folders made for one run does not outlive it, so it is not remembered.
    if (isMultiFolderSide(kSideLeft) || isMultiFolderSide(kSideRight)) return;
    FolderHistory(m_settings, true)
        .StoreFolderHistory(QFile::decodeName(m_leftFolderPath.c_str()), QFile::decodeName(m_rightFolderPath.c_str()));
    KLastFolders folders(m_settings, QStringLiteral("lastFolders"));
    for (int side : {kSideLeft, kSideRight})
        if (!isMultiFolderSide(side))
            folders.AddFolder(QFile::decodeName((side == kSideLeft ? m_leftFolderPath : m_rightFolderPath).c_str()));
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
        const QString sets = KappHelpQVF::ApplicationSupportDirectory() + QStringLiteral("/MultiFolders");
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
    return true;
}

QString QuorvaneModule::MultiFolderName(const QString& setFolder, int* components) {
    QStringList names = QDir(setFolder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    names.sort(Qt::CaseInsensitive);
    if (components) *components = static_cast<int>(names.size());
    return names.join('+');
}

void QuorvaneModule::Cancel() {
    if (!m_thread) return;
    m_scanner->cancel();
    setHeader(Messages::text("aborting"));
}

void QuorvaneModule::CompareThreadFinished() {
    if (!m_thread || m_closing) return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_parentItem = m_root.get();
    m_anyFilterOn = m_scanner->iAnyFilterOn;
    m_lastRunCancelled = m_scanner->isCancelled();
    m_snapshotError = QString::fromStdString(m_scanner->iSnapshotError);
    if (!m_snapshotError.isEmpty()) {
        // No scan ran: the run ends here, with the reason.
        m_lastAlert = Messages::text("snapErr0") + '\n' + Messages::text("snapErr1") + '\n' + m_snapshotError;
        m_prompt.inform(Messages::text("snapErr0"), Messages::text("snapErr1") + '\n' + m_snapshotError);
        emit compareThreadFinished(false);
        return;
    }
    if (m_lastRunCancelled) {
        setHeader(Messages::text("TaskAborted"));
        for (KItem* child : m_root->iChildren())
            if (child->iCmpState == 1) child->iCmpState = 0;
        SetCompareStatus();
    } else {
        for (KItem* child : m_root->iChildren()) child->iCmpState = 2;
        QMutexLocker lock(&m_root->iSemafor());
        m_root->Resort();
    }
    emit treeChanged();
    if (!m_lastRunCancelled) startSizePass();
    emit compareThreadFinished(!m_lastRunCancelled);
}

void QuorvaneModule::stopSizePass() {
    if (!m_sizeThread) return;
    m_sizeCancelled = true;
    while (!m_sizeThread->wait(10)) QCoreApplication::processEvents();
    delete m_sizeThread;
    m_sizeThread = nullptr;
}

void QuorvaneModule::startSizePass() {
    stopSizePass();
    m_state.leftMessage = m_state.rightMessage = Messages::text("calcFolderSizes");
    m_sizeCancelled = false;
    auto pass = std::make_shared<FolderSizePass>(m_fs, scanOptionsForRun(), &m_rules, m_sizes);
    KRootItem* root = m_root.get();
    std::vector<SizeRequest> queue = m_scanner->iToCalcFolders;
    m_sizeThread = QThread::create([pass, root, queue = std::move(queue), this] {
        pass->CalculateFolderSize(*root, queue, m_sizeCancelled);
    });
    connect(m_sizeThread, &QThread::finished, this, &QuorvaneModule::SizePassFinished, Qt::QueuedConnection);
    m_sizeThread->start();
}

void QuorvaneModule::SizePassFinished() {
    if (!m_sizeThread || m_closing) return;   // stopped and awaited already
    m_sizeThread->wait();
    delete m_sizeThread;
    m_sizeThread = nullptr;
    if (m_sizeCancelled) return;
    SetCompareStatus();
    emit treeChanged();
    emit sizesCalculated();
}

QString QuorvaneModule::AttrStatus(std::int64_t bytes, std::uint64_t files, std::uint64_t folders) const {
    QLocale locale;
    const QString size = m_settings.boolValue(QStringLiteral("sizeInBytes"))
                             ? Messages::format("byteCount", locale.toString(static_cast<qlonglong>(bytes)))
                             : locale.formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
    QString line = size + QStringLiteral(", ") + locale.toString(static_cast<qulonglong>(files)) +
                   Messages::text("filesAndFolders1") + locale.toString(static_cast<qulonglong>(folders)) +
                   Messages::text("filesAndFolders2");
    if (m_anyFilterOn && !m_settings.boolValue(QStringLiteral("calculateSameCompare"))) line += QStringLiteral(" \u24D8");
    return line;
}

void QuorvaneModule::SetCompareStatus() {
    KItem* top = m_parentItem;
    if (!top) return;
    m_state.leftTooltip.clear();
    m_state.rightTooltip.clear();
    if (m_lastRunCancelled) {
        m_state.headerTooltip.clear();
        m_state.leftMessage = m_state.rightMessage = Messages::text("TaskAborted");
        return;
    }
    QLocale locale;
    const std::uint64_t n = NumberOfDifferences(*m_root);
    QString header = top->iState == kStateEqual ? Messages::text("FoldersEqual") : Messages::text("FoldersDiff0");
    if (top->iState != kStateEqual && n > 0)
        header += Messages::format("FoldersDiff", locale.toString(static_cast<qulonglong>(n)));
    m_state.headerTooltip = m_anyFilterOn ? Messages::text("filterIsOn") : QString();
    if (m_anyFilterOn) header += QStringLiteral(" \u24D8");
    setHeader(header);
    const FolderPart* f = top->folderIfAny();
    const FolderPart none;
    const FolderPart& c = f ? *f : none;
    m_state.leftMessage = AttrStatus(top->iSize1, c.iFiles1, c.iFolders1);
    m_state.rightMessage = AttrStatus(top->iSize2, c.iFiles2, c.iFolders2);
    if (m_anyFilterOn && !m_settings.boolValue(QStringLiteral("calculateSameCompare")))
        m_state.leftTooltip = m_state.rightTooltip = Messages::text("filterIsOn2");
    if (top->iState != kStateEqual) {
        const FolderPart* r = m_root->folderIfAny();
        const FolderPart& rc = r ? *r : none;
        m_state.leftTooltip = Messages::format("difsAndOrph", locale.toString(static_cast<qulonglong>(rc.iDiffs1)),
                                               locale.toString(static_cast<qulonglong>(rc.iOrphans1)));
        m_state.rightTooltip = Messages::format("difsAndOrph", locale.toString(static_cast<qulonglong>(rc.iDiffs2)),
                                                locale.toString(static_cast<qulonglong>(rc.iOrphans2)));
    }
}

}  // namespace qv
