#include "sync/KMerge.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "engine/KRootItem.h"
#include "base/PathResolution.h"
#include "engine/UserPrompt.h"
#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "sync/ItemRecheck.h"
#include "sync/KAuthCopy.h"
#include "sync/RenamePattern.h"
#include "sync/SideRoots.h"

#include <QLocale>


#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

namespace qv {
namespace {

constexpr std::uint64_t kDeleteWeight = 1000000;

double monotonicSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::uint64_t deviceOf(const std::string& path) {
    platform::EntryStat st;
    return platform::systemFileSystem().statPath(path, true, st) == 0 ? st.device : 0;
}

bool isCopy(int action) {
    return action == kCopyToRight || action == kCopyToLeft || action == kCopyAsToRight || action == kCopyAsToLeft ||
           action == kAliasToRight || action == kAliasToLeft;
}

bool readsLeft(int action) {
    return action == kCopyToRight || action == kCopyAsToRight || action == kAliasToRight || action == kAttrsToRight;
}

std::uint64_t sizeOf(std::int64_t size) { return size > 0 ? static_cast<std::uint64_t>(size) : 0; }

// A part of a row as the groups count it: its group, its bit in
// KMergeItem::iProcess (3: the row is one part), and the side it reads
// (0 for the entries a copy removes to make room, counted on their own).
struct ActionPart {
    int group;
    int bit;
    int side;
};

std::vector<ActionPart> partsOfAction(int action) {
    switch (action) {
    case kDeleteBoth: return {{kGroupDeleteLeft, 1, kSideLeft}, {kGroupDeleteRight, 2, kSideRight}};
    case kRenameBoth: return {{kGroupCopyLeft, 1, kSideLeft}, {kGroupCopyRight, 2, kSideRight}};
    case kDeleteLeft: return {{kGroupDeleteLeft, 1, kSideLeft}};
    case kDeleteRight: return {{kGroupDeleteRight, 2, kSideRight}};
    case kRenameLeft: return {{kGroupCopyLeft, 1, kSideLeft}};
    case kRenameRight: return {{kGroupCopyRight, 2, kSideRight}};
    default:
        switch (KItem::AffectedSideOf(action)) {
        case kSideLeft: return {{kGroupCopyLeft, 3, kSideLeft}};
        case kSideRight: return {{kGroupCopyRight, 3, kSideRight}};
        default: return {};
        }
    }
}

// A copy that removes entries to make room belongs to the delete group of
// its destination as well, and runs only while both groups are on.
std::vector<ActionPart> partsOf(const KMergeItem& row) {
    std::vector<ActionPart> parts = partsOfAction(row.action);
    if (!row.removals.empty())
        parts.push_back({KItem::AffectedSideOf(row.action) == kSideLeft ? kGroupDeleteRight : kGroupDeleteLeft, 3, 0});
    return parts;
}

QString recheckMessage(Recheck r) {
    switch (r) {
    case Recheck::Vanished: return Messages::text("syncVanished");
    case Recheck::Appeared: return Messages::text("syncAppeared");
    case Recheck::Changed: return Messages::text("syncChanged");
    default: return Messages::text("syncUnreadable");
    }
}

}  // namespace

MergeSettings MergeSettings::fromSettings(const Settings& settings) {
    MergeSettings s;
    s.archive = settings.boolValue(QStringLiteral("overwrittenToTrash2"));
    s.archiveFolder = settings.value(QStringLiteral("mergeArchiveFolder")).toString().toStdString();
    s.deletePermanently = settings.boolValue(QStringLiteral("mergeDelPermanent"));
    s.dontOverwriteEqual = settings.boolValue(QStringLiteral("dontOverwiteIdentical"));
    return s;
}

KMerge::KMerge(KRootItem& root, UserPrompt& prompt, const MergeSettings& settings)
    : m_root(root),
      m_prompt(prompt),
      m_settings(settings),
      iCopyItem(std::make_unique<KCopyItem>(prompt)),
      m_disposal(m_settings, prompt, *iCopyItem) {}

KMerge::~KMerge() = default;

std::unique_ptr<KMerge> KMerge::Start(const std::vector<KItem*>& items, KRootItem& root, UserPrompt& prompt,
                                      const MergeSettings& settings) {
    std::unique_ptr<KMerge> merge(new KMerge(root, prompt, settings));
    for (KItem* item : items) {
        KMergeItem row = KMergeItem::MergeItemWithNItem(item);
        const int a = row.action;
        for (const ActionPart& part : partsOf(row)) {
            MergeGroup& group = merge->iStatArray[part.group];
            if (part.side == 0) {
                group.items += row.removedEntries();
                group.size += row.removedBytes();
                continue;
            }
            ++group.items;
            group.size += sizeOf(part.side == kSideLeft ? item->iSize1 : item->iSize2);
        }
        if (!row.removals.empty()) merge->iWillRemove = true;
        if ((a == kCopyToRight && item->hasSide(kSideRight)) || (a == kCopyToLeft && item->hasSide(kSideLeft)))
            merge->iWillOverwrite = true;
        if (a == kDeleteRight || a == kDeleteLeft || a == kDeleteBoth) merge->iWillRemove = true;
        if (a == kCopyToRight || a == kCopyToLeft || a == kCopyAsToRight || a == kCopyAsToLeft) merge->iWillCopy = true;
        merge->m_rows.push_back(std::move(row));
    }
    for (MergeGroup& g : merge->iStatArray) g.enabled = g.items > 0;
    merge->UpdateStats();
    return merge;
}

void KMerge::StatCheckAction(int group, bool on) {
    iStatArray[group].enabled = on && iStatArray[group].items > 0;
    for (KMergeItem& row : m_rows) {
        const std::vector<ActionPart> parts = partsOf(row);
        if (std::none_of(parts.begin(), parts.end(), [&](const ActionPart& p) { return p.group == group; })) continue;
        // A part runs while every group it counts in is on.
        int process = 0;
        for (const ActionPart& part : parts) process |= part.bit;
        for (const ActionPart& part : parts)
            if (!iStatArray[part.group].enabled) process &= ~part.bit;
        row.iProcess = process;
    }
    UpdateStats();
}

void KMerge::UpdateStats() {
    iArchiveItems = (iWillOverwrite || iWillRemove) && m_settings.archive;
    iTotalSize = iTotalItems = 0;
    iTotalCopySize = 0;
    const bool toFolder = iArchiveItems && !m_settings.archiveFolder.empty();
    const std::uint64_t archiveDevice = toFolder ? deviceOf(m_settings.archiveFolder) : 0;
    for (int g = 0; g < 4; ++g) {
        const MergeGroup& group = iStatArray[g];
        if (!group.enabled || group.items == 0) continue;
        iTotalSize += group.size;
        iTotalItems += group.items;
        if (g >= kGroupDeleteLeft) {
            iTotalCopySize += double(kDeleteWeight) * double(group.items);
            continue;
        }
        iTotalCopySize += double(group.size);
        // A replaced item copied into an archive on another volume costs its bytes once more.
        const int destinationSide = g == kGroupCopyLeft ? kSideRight : kSideLeft;
        if (toFolder && deviceOf(m_root.PathForSide(destinationSide)) != archiveDevice)
            iTotalCopySize += double(group.size);
    }
}

QString KMerge::statusText() const {
    QLocale locale;
    const QString count = iTotalItems == 1 ? Messages::text("itmToProcess")
                                           : Messages::format("itmsToProcess", locale.toString(qulonglong(iTotalItems)));
    return count + QStringLiteral(" (") +
           locale.formattedDataSize(static_cast<qint64>(iTotalSize), 1, QLocale::DataSizeSIFormat) + QLatin1Char(')');
}

QString KMerge::DateFilename(const QDateTime& now) {
    // Year first whatever the language, so that the archive folders sort by date.
    return now.toString(QStringLiteral("-yyyy-MM-dd-HHmmss"));
}

QString KMerge::datedArchiveName() { return QStringLiteral("quorvane") + DateFilename(QDateTime::currentDateTime()); }

bool KMerge::prepareArchiveFolder() {
    if (m_disposal.prepare(iArchiveItems, datedArchiveName().toStdString())) return true;
    // Without its folder the archive goes to the trash.
    m_settings.archiveFolder.clear();
    return m_disposal.prepare(iArchiveItems, {});
}

void KMerge::Cancel() {
    m_cancelled = true;
    iCopyItem->iCancelRequested = true;
}

void KMerge::MergeThread(MergeObserver& observer) {
    prepareArchiveFolder();
    m_sides = std::make_unique<SideRoots>(m_root);
    MergeProgress progress(iTotalCopySize, monotonicSeconds());
    m_progress = &progress;
    m_observer = &observer;
    iCopyItem->SetObserver(
        [&](std::uint64_t completed) {
            const bool updated = progress.SetProgressValue(completed, monotonicSeconds());
            observer.progressChanged(progress, updated);
        },
        static_cast<std::uint64_t>(iTotalCopySize));
    iCopyItem->iUsrStopBecsuseError = false;
    iCopyItem->setIModule(&m_root, true);
    iCopyItem->iTryAdminCopy = m_prompt.showsUI();
    iCopyItem->iDontOverIdent = m_settings.dontOverwriteEqual;
    iCopyItem->setDisposer(m_disposal.disposer(), iArchiveItems);
    m_disposal.setPauseObserver([&](double seconds) { progress.addPause(seconds); });
    iError.clear();
    std::uint64_t counter = 1;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (wasCancelled() || iCopyItem->iUsrStopBecsuseError) break;
        runRow(m_rows[i], i, counter, observer);
    }
    iCopyItem->flushFolders();
    iCopyItem->RemoveObserver();
    iCopyItem->setDisposer({}, false);
    m_disposal.setPauseObserver({});
    finishRun();
    m_sides.reset();
    m_progress = nullptr;
    m_observer = nullptr;
}

void KMerge::runRow(KMergeItem& row, std::size_t index, std::uint64_t& counter, MergeObserver& observer) {
    if (row.iStatus != kRowPending || row.iProcess == 0) return;
    if (m_beforeRow) m_beforeRow(row);
    const int a = row.action;
    auto prefix = [&] { return QStringLiteral("%1/%2 ").arg(counter).arg(iTotalItems); };
    const bool twoHalves = a == kDeleteBoth || a == kRenameBoth;
    int code = kResultDone;
    if (!((a == kDeleteLeft || a == kDeleteBoth || a == kRenameLeft || a == kRenameBoth) && !(row.iProcess & 1))) {
        const int leftAction = a == kDeleteBoth ? kDeleteLeft : a == kRenameBoth ? kRenameLeft : a;
        code = ExecuteItem(row, leftAction, prefix());
        ++counter;
    }
    if (twoHalves && !wasCancelled() && !iCopyItem->iUsrStopBecsuseError && (row.iProcess & 2)) {
        const QString leftError = iError;
        const int rightCode = ExecuteItem(row, a == kDeleteBoth ? kDeleteRight : kRenameRight, prefix());
        ++counter;
        if (rightCode == kResultFailed || rightCode == kResultCancelled) {
            if (code != kResultFailed) code = rightCode;
        } else if (code == kResultFailed) {
            iError = leftError;
        }
    }
    UpdateItem(row, code, index, observer);
}

void KMerge::UpdateItem(KMergeItem& row, int code, std::size_t index, MergeObserver& observer) {
    row.code = code;
    row.iStatus = code == kResultFailed || code == kResultCancelled ? kRowFailed : kRowDone;
    if (code == kResultFailed) {
        row.iActionError = iError;
        m_lastFailed = static_cast<long>(index);
    }
    observer.rowFinished(row, index);
}

QString KMerge::ActionError(const KMergeItem& row) {
    switch (row.code) {
    case kResultFailed: return row.iActionError.isEmpty() ? Messages::text("unknownError") : row.iActionError;
    case kResultDone: return Messages::text("copyOk");
    case kResultAlreadyEqual: case kResultEqualByMetadata: return Messages::text("notCopied");
    case kResultCancelled: return Messages::text("operationCanceled");
    default: return {};
    }
}

int KMerge::failed(int error) { return failedWith(errorText(error)); }

int KMerge::failedWith(const QString& message) {
    iError = message;
    return kResultFailed;
}

int KMerge::failedOperation(int error, const QString& detail) {
    if (wasCancelled() || error == ECANCELED) return kResultCancelled;
    if (!m_disposal.failure().isEmpty()) return failedWith(m_disposal.failure());
    return detail.isEmpty() ? failed(error) : failedWith(detail);
}

int KMerge::reachChecked(const KMergeItem& row, int side, platform::HeldEntry& out, platform::EntryStat* found,
                         bool absentIsFine) {
    platform::EntryStat now;
    int error = m_sides->locate(*row.iItem, side, out);
    if (error == 0) error = platform::statAt(out.at(), now);
    if (found) *found = error ? platform::EntryStat{} : now;
    const Recheck r = recheckSide(*row.iItem, side, error, now);
    if (r == Recheck::Unchanged || (absentIsFine && r == Recheck::Vanished)) return -1;
    return failedWith(recheckMessage(r));
}

int KMerge::reachDestination(const KMergeItem& row, int side, std::string_view newName, platform::HeldEntry& out) {
    int error = m_sides->locate(*row.iItem, side, out, true, newName);
    if (error == 0) return -1;
    if (error == ELOOP || error == ENOTDIR) return failedWith(recheckMessage(Recheck::Changed));
    if (!KCopyItem::mayElevate(error) || !iCopyItem->elevationAllowed()) return failed(error);
    platform::UniqueFd owned;
    int anchor = -1;
    std::string anchorPath, relative;
    if (m_sides->anchorOf(*row.iItem, side, owned, anchor, anchorPath, relative) != 0) return failed(error);
    // The folders above the entry, made by the administrator one level at a
    // time, each reached again from the root without following links.
    for (std::size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1)) {
        const std::string folder = relative.substr(0, slash);
        platform::UniqueFd probe;
        const int state = platform::openBelow(anchor, folder, probe);
        if (state == 0) continue;
        if (state != ENOENT) return failed(state);
        platform::HeldEntry missing;
        if (platform::locateBelow(anchor, anchorPath, folder, missing) != 0) return failed(error);
        QString output;
        const int status = iCopyItem->authCopy().MakeDirByTerminal(platform::pathThrough(missing.at()), &output);
        if (status == KAuthCopy::AuthCancelled) return Cancel(), kResultCancelled;
        if (status != 0) return failedWith(output.isEmpty() ? errorText(error) : output);
    }
    error = m_sides->locate(*row.iItem, side, out, false, newName);
    return error == 0 ? -1 : failed(error);
}

int KMerge::ExecuteItem(KMergeItem& row, int action, const QString& prefix) {
    KItem* item = row.iItem;
    iError.clear();
    const int subjectSide = action == kDeleteRight || action == kRenameRight ? kSideRight : kSideLeft;
    const std::string subject = item->PathForSide(subjectSide);
    if (m_observer) m_observer->statusChanged(prefix + QString::fromStdString(std::string(lastPathComponent(subject))));
    int code = kResultFailed;
    switch (action) {
    case kCopyToRight: case kCopyAsToRight: case kAliasToRight:
    case kCopyToLeft: case kCopyAsToLeft: case kAliasToLeft:
        code = executeCopy(row, action);
        break;
    case kAttrsToRight: case kAttrsToLeft: code = executeAttributes(row, action); break;
    case kDeleteRight: case kDeleteLeft: code = executeDelete(row, action); break;
    case kRenameRight: code = executeRename(row, action, row.iRenameToRight); break;
    case kRenameLeft: code = executeRename(row, action, row.iRenameToLeft); break;
    default: break;
    }
    // Each part adds what it weighs in the total: a delete its fixed
    // weight, attributes and renames their entry's size (copies count bytes).
    if (!isCopy(action) && code != kResultCancelled) {
        const bool left = action == kAttrsToRight || action == kRenameLeft;
        const bool right = action == kAttrsToLeft || action == kRenameRight;
        iCopyItem->advance(left ? sizeOf(item->iSize1) : right ? sizeOf(item->iSize2) : kDeleteWeight);
    }
    if (code == kResultDone) iError.clear();
    return code;
}

int KMerge::executeCopy(KMergeItem& row, int action) {
    KItem* item = row.iItem;
    const bool toRight = readsLeft(action);
    const int sourceSide = toRight ? kSideLeft : kSideRight, destinationSide = toRight ? kSideRight : kSideLeft;
    std::string newName;
    if (action == kCopyAsToRight || action == kCopyAsToLeft) {
        const QString name = item->iCopyAs();
        if (const char* problem = nameProblem(name)) return failedWith(Messages::text(problem));
        newName = name.toStdString();
    }
    platform::HeldEntry source, destination;
    platform::EntryStat from, to;
    if (const int code = reachChecked(row, sourceSide, source, &from); code >= 0) return code;
    if (newName.empty()) {
        if (const int code = reachChecked(row, destinationSide, destination, &to, true); code >= 0) return code;
    } else if (m_sides->locate(*item, destinationSide, destination, false, newName) != 0 ||
               platform::statAt(destination.at(), to) != 0) {
        to = {};
    }
    // A new name is for a new entry: what stands there now (made since the
    // plan, or there all along) is never replaced by it.
    if (!newName.empty() && to.type != platform::EntryType::Other)
        return failedWith(Messages::format("syncNameTaken", QString::fromStdString(newName)));
    const bool replacing = to.type != platform::EntryType::Other;
    if (replacing && m_settings.dontOverwriteEqual && item->iState == kStateEqual) {
        iCopyItem->advance(row.iSize);
        if (const int error = iCopyItem->CopyAttrsFrom(source.at(), destination.at())) return failed(error);
        return m_root.iCmpFileContents ? kResultAlreadyEqual : kResultEqualByMetadata;
    }
    if (!destination.folder.valid())
        if (const int code = reachDestination(row, destinationSide, newName, destination); code >= 0) return code;
    m_disposal.beginRow(destination.path, item->iPath());
    if (action == kAliasToRight || action == kAliasToLeft) {
        platform::CopyOptions options;
        options.io = iCopyItem->copyIo();
        const EntryDisposer disposer = m_disposal.disposer();
        options.disposeReplaced = [&](const platform::EntryAt& old, const std::string&, bool folder) {
            return disposer(old, destination.path, folder, true);
        };
        options.disposeReplacedFiles = iArchiveItems;
        // The link leads to the source by the path the comparison used.
        if (int e = platform::writeSymlinkAt(item->PathForSide(sourceSide), destination.at(), options))
            return failedOperation(e, to.type == platform::EntryType::Folder ? Messages::text("aliasFailed") : QString());
        iCopyItem->advance(row.iSize);
        return kResultDone;
    }
    QString error;
    if (iCopyItem->CopyItemFrom(source, destination, &error, toRight)) return kResultDone;
    if (wasCancelled()) return kResultCancelled;
    if (!m_disposal.failure().isEmpty()) return failedWith(m_disposal.failure());
    return failedWith(error);
}

int KMerge::executeAttributes(KMergeItem& row, int action) {
    const int sourceSide = action == kAttrsToRight ? kSideLeft : kSideRight;
    const int destinationSide = sourceSide == kSideLeft ? kSideRight : kSideLeft;
    platform::HeldEntry source, destination;
    if (const int code = reachChecked(row, sourceSide, source); code >= 0) return code;
    if (const int code = reachChecked(row, destinationSide, destination); code >= 0) return code;
    const int error = iCopyItem->CopyAttrsFrom(source.at(), destination.at());
    return error == 0 ? kResultDone : failed(error);
}

int KMerge::executeDelete(KMergeItem& row, int action) {
    const int side = action == kDeleteRight ? kSideRight : kSideLeft;
    platform::HeldEntry entry;
    platform::EntryStat found;
    if (const int code = reachChecked(row, side, entry, &found, true); code >= 0) return code;
    if (found.type == platform::EntryType::Other) return kResultDone;   // already gone: nothing to do
    m_disposal.beginRow(entry.path, row.iItem->iPath());
    const int e = m_disposal.remove(entry.at(), entry.path);
    return e == 0 ? kResultDone : failedOperation(e);
}

int KMerge::executeRename(KMergeItem& row, int action, const QString& newName) {
    if (const char* problem = nameProblem(newName)) return failedWith(Messages::text(problem));
    const int side = action == kRenameRight ? kSideRight : kSideLeft;
    platform::HeldEntry entry;
    if (const int code = reachChecked(row, side, entry); code >= 0) return code;
    const platform::EntryAt renamed{entry.folder.get(), newName.toStdString()};
    const int e = platform::moveEntryAt(entry.at(), renamed);
    if (e == 0) return kResultDone;
    // The rename never replaces an entry: one stands under the new name.
    if (e == EEXIST) return failedWith(Messages::format("syncNameTaken", newName));
    if (KCopyItem::mayElevate(e) && iCopyItem->elevationAllowed()) {
        QString error;
        const int status = iCopyItem->authCopy().RenameByTerminal(platform::pathThrough(entry.at()),
                                                                  platform::pathThrough(renamed), &error);
        if (status == 0) return kResultDone;
        if (status == KAuthCopy::AuthCancelled) return Cancel(), kResultCancelled;
        if (!error.isEmpty()) return failedWith(error);
    }
    return failed(e);
}

void KMerge::finishRun() {
    const std::string& folder = m_disposal.archiveFolder();
    if (folder.empty()) return;
    platform::Listing listing;
    platform::systemFileSystem().listFolder(folder, listing);
    if (!listing.entries.empty()) m_trash = folder;
}

std::vector<std::size_t> KMerge::rowsByStatus() const {
    std::vector<std::size_t> order(m_rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    auto rank = [this](std::size_t i) {
        const int s = m_rows[i].iStatus;
        return s == kRowFailed ? 0 : s == kRowDone ? 1 : 2;
    };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return rank(a) < rank(b); });
    return order;
}

}  // namespace qv
