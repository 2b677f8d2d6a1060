#include "cli/MergeRun.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "cli/CompareRun.h"
#include "cli/InterruptWatcher.h"
#include "cli/CommandLine.h"
#include "cli/NameQuoting.h"
#include "cli/TerminalLine.h"
#include "engine/KRootItem.h"
#include "platform/FileSystem.h"
#include "platform/JsonString.h"
#include "platform/RunLock.h"
#include "sync/KCopyItem.h"
#include "sync/MassDeletion.h"

#include <QEventLoop>
#include <QLocale>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace qv {
namespace {

const char* kGroupKeys[4] = {"copyLeft", "copyRight", "deleteLeft", "deleteRight"};
const char* kGroupTitles[4] = {"groupCopyLeft", "groupCopyRight", "groupDeleteLeft", "groupDeleteRight"};

QString sizeText(std::uint64_t bytes) {
    return QLocale().formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeSIFormat);
}

const char* statusWord(const KMergeItem& row) {
    if (row.iStatus == kRowPending) return "pending";
    switch (row.code) {
    case kResultDone: return "done";
    case kResultAlreadyEqual: case kResultEqualByMetadata: return "equal";
    case kResultCancelled: return "cancelled";
    default: return "failed";
    }
}

// The row's entry, quoted when its name would break the line, and the new name of a rename or copy-as.
std::string rowPath(const KMergeItem& row) {
    std::string path = quotedName(row.iItem->iPath());
    const QString newName = row.iItem->iCopyAs();
    if (!newName.isEmpty()) path += " \xE2\x9E\x9C " + quotedName(newName.toStdString());
    return path;
}

QString sideName(int side) { return Messages::text(side == kSideLeft ? "cliSideLeft" : "cliSideRight"); }

QString massDeletionText(const MassDeletion& m) {
    return Messages::format("cliMassDeletion", QLocale().toString(qulonglong(m.removed)),
                            QLocale().toString(qulonglong(m.entries)), sideName(m.side));
}

// Progress on stderr, redrawn in place, only when stderr is a terminal.
class TerminalProgress : public MergeObserver {
public:
    explicit TerminalProgress(bool enabled) : m_enabled(enabled) {}
    ~TerminalProgress() override { TerminalLine::clear(); }
    void statusChanged(const QString& text) override { m_status = text; }
    void progressChanged(const MergeProgress& p, bool updated) override {
        if (!m_enabled || !updated) return;
        const QString line = QStringLiteral("%1%  %2 / %3  %4  %5  %6")
                                 .arg(static_cast<int>(p.fraction() * 100), 3)
                                 .arg(sizeText(p.bytesCopied()), sizeText(static_cast<std::uint64_t>(p.total())),
                                      MergeProgress::FormattedSpeed(p.speed()),
                                      MergeProgress::FormattedTimeRemaining(p.remaining()), m_status);
        TerminalLine::draw(line.left(200));
    }

private:
    bool m_enabled;
    QString m_status;
};

MergeSettings settingsFor(const MergeRunOptions& o) {
    MergeSettings s = MergeSettings::fromSettings(Settings::instance());
    if (!o.archive.empty()) {
        s.archive = o.archive != "none";
        s.archiveFolder = o.archive == "trash" || o.archive == "none" ? std::string() : o.archive;
        char resolved[PATH_MAX];
        if (!s.archiveFolder.empty() && ::realpath(s.archiveFolder.c_str(), resolved)) s.archiveFolder = resolved;
    }
    if (o.dontOverwriteEqual) s.dontOverwriteEqual = true;
    return s;
}

// An archive folder must be a folder outside both compared folders.
QString archiveProblem(const MergeSettings& s, const KRootItem& root) {
    if (!s.archive || s.archiveFolder.empty()) return {};
    platform::EntryStat st;
    if (platform::systemFileSystem().statPath(s.archiveFolder, true, st) != 0 || st.type != platform::EntryType::Folder)
        return Messages::format("cliArchiveNotFolder", QString::fromStdString(s.archiveFolder));
    for (int side : {kSideLeft, kSideRight}) {
        const std::string rootPath = root.PathForSide(side);
        if (s.archiveFolder == rootPath || KCopyItem::PathIsInsidePath(s.archiveFolder, rootPath))
            return Messages::format("cliArchiveInside", QString::fromStdString(s.archiveFolder));
    }
    return {};
}

void printPlanText(const KMerge& merge, const MergeList& list, const KRootItem& root, const MergeRunOptions& o,
                   const std::vector<UndecidedItem>& notSynced) {
    if (!o.textHead.isEmpty()) std::printf("%s\n", qPrintable(o.textHead));
    for (int g = 0; g < 4; ++g) {
        const MergeGroup& group = merge.group(g);
        std::printf("%s: %llu (%s)\n", qPrintable(Messages::text(kGroupTitles[g])),
                    static_cast<unsigned long long>(group.items), qPrintable(sizeText(group.size)));
    }
    for (const KMergeItem& row : merge.iMergeItems()) {
        std::printf("%s\t%s\n", actionName(row.action), rowPath(row).c_str());
        for (const PlannedRemoval& r : row.removals)
            std::printf("\t%s\n", qPrintable(Messages::format(merge.archivesDeletions()    ? "cliRemovesArchived"
                                                               : merge.deletesPermanently() ? "cliRemovesForGood"
                                                                                            : "cliRemoves",
                                                               QString::fromStdString(quotedName(r.path)), QString::number(r.entries),
                                                               sizeText(r.bytes))));
    }
    MergeSummary summary;
    MergeList::ChildrenOf(list.iMergeItems(), summary);
    QString left, right;
    MergeList::sideMessages(summary, true, false, left, right);
    if (!left.isEmpty()) std::printf("%s %s\n", qPrintable(Messages::text("cliLeftSide")), qPrintable(left));
    if (!right.isEmpty()) std::printf("%s %s\n", qPrintable(Messages::text("cliRightSide")), qPrintable(right));
    for (const Undecided reason : {Undecided::DatesTooClose, Undecided::KindsDiffer}) {
        bool headed = false;
        for (const UndecidedItem& item : notSynced) {
            if (item.reason != reason) continue;
            if (!headed)
                std::printf("%s\n", qPrintable(Messages::text(reason == Undecided::KindsDiffer ? "cliNotSyncedKinds"
                                                                                               : "cliNotSynced")));
            headed = true;
            std::printf("\t%s\n", quotedName(item.path).c_str());
        }
    }
    for (const QString& conflict : list.nameConflicts()) printError(Messages::format("cliNameConflict", conflict));
    for (const MassDeletion& m : massDeletions(merge.iMergeItems(), root)) std::printf("%s\n", qPrintable(massDeletionText(m)));
    std::printf("%s\n", qPrintable(merge.statusText()));
}

void printResultsText(const KMerge& merge) {
    const auto& rows = merge.iMergeItems();
    for (std::size_t i : merge.rowsByStatus()) {
        const KMergeItem& row = rows[i];
        std::printf("%s\t%s\t%s", statusWord(row), actionName(row.action), rowPath(row).c_str());
        if (row.iStatus != kRowPending) std::printf("\t%s", qPrintable(KMerge::ActionError(row)));
        std::printf("\n");
    }
    if (!merge.iTrash().empty()) std::printf("%s %s\n", qPrintable(Messages::text("cliArchivedIn")), merge.iTrash().c_str());
    const char* key = merge.wasCancelled() ? "procAbort" : merge.lastFailedIndex() >= 0 ? "mergeErrors" : "mergeCompleted";
    std::printf("%s\n", qPrintable(Messages::text(key)));
}

void appendKey(std::string& out, const char* key) {
    out += '"';
    out += key;
    out += "\":";
}

void appendText(std::string& out, const QString& text) { platform::appendJsonString(out, text.toStdString()); }

void printJson(const KMerge& merge, const MergeList& list, const KRootItem& root, const MergeRunOptions& o,
               const std::vector<UndecidedItem>& notSynced, bool executed) {
    std::string out = "{";
    out += o.jsonHead;
    appendKey(out, "executed");
    out += executed ? "true," : "false,";
    appendKey(out, "groups");
    out += '{';
    for (int g = 0; g < 4; ++g) {
        const MergeGroup& group = merge.group(g);
        if (g) out += ',';
        appendKey(out, kGroupKeys[g]);
        out += "{\"items\":" + std::to_string(group.items) + ",\"bytes\":" + std::to_string(group.size) + "}";
    }
    out += "},";
    MergeSummary s;
    MergeList::ChildrenOf(list.iMergeItems(), s);
    appendKey(out, "summary");
    out += "{\"leftCopies\":" + std::to_string(s.copies[0]) + ",\"leftCopyBytes\":" + std::to_string(s.copyBytes[0]) +
           ",\"rightCopies\":" + std::to_string(s.copies[1]) + ",\"rightCopyBytes\":" + std::to_string(s.copyBytes[1]) +
           ",\"leftDeletes\":" + std::to_string(s.deletes[0]) + ",\"leftDeleteBytes\":" + std::to_string(s.deleteBytes[0]) +
           ",\"rightDeletes\":" + std::to_string(s.deletes[1]) +
           ",\"rightDeleteBytes\":" + std::to_string(s.deleteBytes[1]) +
           ",\"actions\":" + std::to_string(list.NumberOfActions()) + "},";
    appendKey(out, "rows");
    out += '[';
    bool first = true;
    for (const KMergeItem& row : merge.iMergeItems()) {
        if (!first) out += ',';
        first = false;
        out += "{\"action\":\"" + std::string(actionName(row.action)) + "\",\"code\":" + std::to_string(row.action) +
               ",\"result\":" + (row.iStatus == kRowPending ? std::string("null") : std::to_string(row.code)) +
               ",\"path\":";
        platform::appendJsonString(out, row.iItem->iPath());
        if (!row.iItem->iCopyAs().isEmpty()) {
            out += ",\"as\":";
            appendText(out, row.iItem->iCopyAs());
        }
        if (!row.removals.empty()) {
            out += ",\"removes\":[";
            for (std::size_t i = 0; i < row.removals.size(); ++i) {
                const PlannedRemoval& r = row.removals[i];
                if (i) out += ',';
                out += "{\"path\":";
                platform::appendJsonString(out, r.path);
                out += ",\"entries\":" + std::to_string(r.entries) + ",\"bytes\":" + std::to_string(r.bytes) + "}";
            }
            out += ']';
        }
        out += ",\"status\":\"" + std::string(statusWord(row)) + "\"";
        if (row.iStatus != kRowPending) {
            out += ",\"message\":";
            appendText(out, KMerge::ActionError(row));
        }
        out += '}';
    }
    out += "],";
    appendKey(out, "notSynced");
    out += '[';
    for (std::size_t i = 0; i < notSynced.size(); ++i) {
        if (i) out += ',';
        platform::appendJsonString(out, notSynced[i].path);
    }
    out += "],";
    appendKey(out, "undecided");
    out += '[';
    for (std::size_t i = 0; i < notSynced.size(); ++i) {
        if (i) out += ',';
        out += "{\"path\":";
        platform::appendJsonString(out, notSynced[i].path);
        out += notSynced[i].reason == Undecided::KindsDiffer ? ",\"reason\":\"kinds\"}" : ",\"reason\":\"dates\"}";
    }
    out += "],";
    appendKey(out, "conflicts");
    out += '[';
    for (qsizetype i = 0; i < list.nameConflicts().size(); ++i) {
        if (i) out += ',';
        appendText(out, list.nameConflicts()[i]);
    }
    out += "],";
    appendKey(out, "archive");
    platform::appendJsonString(out, merge.iTrash());
    out += ',';
    appendKey(out, "massDeletion");
    out += '[';
    bool firstSide = true;
    for (const MassDeletion& m : massDeletions(merge.iMergeItems(), root)) {
        if (!firstSide) out += ',';
        firstSide = false;
        out += "{\"side\":" + std::to_string(m.side) + ",\"removed\":" + std::to_string(m.removed) +
               ",\"entries\":" + std::to_string(m.entries) + "}";
    }
    out += "],";
    appendKey(out, "deletesPermanently");
    out += merge.deletesPermanently() ? "true," : "false,";
    appendKey(out, "status");
    const char* status = !executed ? "planned" : merge.wasCancelled() ? "cancelled"
                                              : merge.lastFailedIndex() >= 0 ? "failed" : "completed";
    out += "\"" + std::string(status) + "\"}";
    std::printf("%s\n", out.c_str());
}

// Runs the rows on a worker while the main thread waits for a signal, which
// cancels the run: the file in flight is finished or rolled back.
void executeOnWorker(KMerge& merge, MergeObserver& observer) {
    QEventLoop loop;
    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, [&] { merge.Cancel(); });
    QThread* worker = QThread::create([&] { merge.MergeThread(observer); });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
}

}  // namespace

void addMergeOptions(CLI::App& command, MergeRunOptions& o) {
    CLI::Option* execute = described(command.add_flag("--execute", o.execute), "cliOptExecute");
    described(command.add_flag("-n,--dry-run", o.dryRun), "cliOptDryRun")->excludes(execute);
    described(command.add_flag("--json", o.json), "cliOptJsonPlan");
    described(command.add_flag("--dont-overwrite-equal", o.dontOverwriteEqual), "cliOptDontOverwriteEqual");
    described(command.add_option("--archive", o.archive), "cliOptArchive")->type_name("trash|DIR|none");
    described(command.add_flag("--allow-nested", o.allowNested), "cliOptAllowNested");
    described(command.add_flag("--force-delete", o.forceDelete), "cliOptForceDelete");
}

int lockFoldersOf(const CompareRun& run, platform::RunLock& lock) {
    std::string busy;
    const int error = lock.acquire(run.folders(), busy);
    if (error == 0) return 0;
    if (error == EWOULDBLOCK) return failLine(Messages::format("cliRunBusy", QString::fromStdString(busy)));
    return failLine(Messages::format("cliRunLockFailed", QString::fromStdString(busy), errorText(error)));
}

int runMerge(CompareRun& run, MergeList& list, const MergeRunOptions& o, const std::vector<UndecidedItem>& notSynced) {
    QuorvaneModule& module = run.module();
    KRootItem& root = *module.iRootItem();
    const MergeSettings settings = settingsFor(o);
    std::unique_ptr<KMerge> merge = KMerge::Start(list.iMergeItems(), root, module.prompt(), settings);
    if (!o.execute || list.iMergeItems().empty()) {
        if (o.json) printJson(*merge, list, root, o, notSynced, false);
        else {
            printPlanText(*merge, list, root, o, notSynced);
            std::printf("%s\n", qPrintable(Messages::text(list.iMergeItems().empty() ? "mirrSyncMsg4" : "cliDryRun")));
        }
        return 0;
    }
    if (root.snapshotFor(kSideLeft) || root.snapshotFor(kSideRight)) return failLine(Messages::text("cliSyncSnapshot"));
    if (!o.forceDelete) {
        const std::vector<MassDeletion> mass = massDeletions(merge->iMergeItems(), root);
        for (const MassDeletion& m : mass) printError(massDeletionText(m) + ' ' + Messages::text("cliMassDeletionRefused"));
        if (!mass.empty()) return 2;
    }
    if (const QString problem = archiveProblem(settings, root); !problem.isEmpty()) return failLine(problem);
    if (!o.json) printPlanText(*merge, list, root, o, notSynced);
    TerminalProgress progress(::isatty(STDERR_FILENO) != 0);
    executeOnWorker(*merge, progress);
    if (o.json) printJson(*merge, list, root, o, notSynced, true);
    else printResultsText(*merge);
    if (const int status = InterruptWatcher::exitStatus()) return status;
    return merge->lastFailedIndex() >= 0 || merge->wasCancelled() ? 1 : 0;
}

}  // namespace qv
