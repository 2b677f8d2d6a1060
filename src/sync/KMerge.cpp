#include "sync/KMerge.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "engine/KRootItem.h"
#include "base/PathResolution.h"
#include "engine/UserPrompt.h"
#include "platform/FileCopy.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"
#include "sync/ItemRecheck.h"
#include "sync/KAuthCopy.h"

#include <QLocale>

#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>

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

bool exists(const std::string& path) {
    platform::EntryStat st;
    return platform::systemFileSystem().statPath(path, false, st) == 0;
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

// A part of an action as the groups count it: its group, its bit in
// KMergeItem::iProcess (3: the row is one part), and the side it reads.
struct ActionPart {
    int group;
    int bit;
    int side;
};

std::vector<ActionPart> partsOf(int action) {
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
    : m_root(root), m_prompt(prompt), m_settings(settings), iCopyItem(std::make_unique<KCopyItem>(prompt)) {}

KMerge::~KMerge() = default;

std::unique_ptr<KMerge> KMerge::Start(const std::vector<KItem*>& items, KRootItem& root, UserPrompt& prompt,
                                      const MergeSettings& settings) {
    std::unique_ptr<KMerge> merge(new KMerge(root, prompt, settings));
    for (KItem* item : items) {
        KMergeItem row = KMergeItem::MergeItemWithNItem(item);
        const int a = row.action;
        for (const ActionPart& part : partsOf(a)) {
            ++merge->iStatArray[part.group].items;
            merge->iStatArray[part.group].size += sizeOf(part.side == kSideLeft ? item->iSize1 : item->iSize2);
        }
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
    for (KMergeItem& row : m_rows)
        for (const ActionPart& part : partsOf(row.action)) {
            if (part.group != group) continue;
            if (part.bit == 3) row.iProcess = on ? 3 : 0;
            else row.iProcess = on ? (row.iProcess | part.bit) : (row.iProcess & ~part.bit);
        }
    iStatArray[group].enabled = on && iStatArray[group].items > 0;
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

QString KMerge::DateFilename(const QDateTime& now, const QString& language) {
    if (language.isEmpty()) return QStringLiteral("files");
    UErrorCode status = U_ZERO_ERROR;
    const icu::Locale locale(language.toUtf8().constData());
    std::unique_ptr<icu::DateTimePatternGenerator> generator(
        icu::DateTimePatternGenerator::createInstance(locale, status));
    if (U_FAILURE(status)) return QStringLiteral("files");
    const icu::UnicodeString best = generator->getBestPattern(icu::UnicodeString("yyMMdd"), status);
    if (U_FAILURE(status)) return QStringLiteral("files");
    const QString pattern = QString::fromUtf16(reinterpret_cast<const char16_t*>(best.getBuffer()), best.length());
    // Keep the letters, with a hyphen wherever anything else stood.
    QStringList runs;
    QString run;
    for (const QChar c : pattern) {
        if (c.isLetter()) {
            run += c;
        } else if (!run.isEmpty()) {
            runs << run;
            run.clear();
        }
    }
    if (!run.isEmpty()) runs << run;
    const QString full = runs.join(QLatin1Char('-')) + QStringLiteral("-HHmmss");
    icu::SimpleDateFormat format(icu::UnicodeString(reinterpret_cast<const UChar*>(full.utf16()), full.size()), locale,
                                 status);
    if (U_FAILURE(status)) return QStringLiteral("files");
    icu::UnicodeString text;
    format.format(static_cast<UDate>(now.toMSecsSinceEpoch()), text);
    return QLatin1Char('-') + QString::fromUtf16(reinterpret_cast<const char16_t*>(text.getBuffer()), text.length());
}

bool KMerge::prepareArchiveFolder() {
    m_tempDir.clear();
    if (!iArchiveItems || m_settings.archiveFolder.empty()) return true;
    const QStringList languages = QLocale::system().uiLanguages();
    const QString name = QStringLiteral("quorvane") +
                         DateFilename(QDateTime::currentDateTime(), languages.isEmpty() ? QString() : languages.first());
    // A run in the same second finds its folder taken: it holds what an
    // earlier run archived, so this run takes the next free name instead.
    std::string folder = m_settings.archiveFolder + "/" + name.toStdString();
    for (int n = 2; exists(folder) && n < 1000; ++n)
        folder = m_settings.archiveFolder + "/" + name.toStdString() + "-" + std::to_string(n);
    if (exists(folder) || platform::makeFolderWithParents(folder) != 0) {
        // Without its folder the archive goes to the trash.
        m_settings.archiveFolder.clear();
        return false;
    }
    m_tempDir = folder;
    return true;
}

void KMerge::Cancel() {
    m_cancelled = true;
    iCopyItem->iCancelRequested = true;
}

void KMerge::MergeThread(MergeObserver& observer) {
    prepareArchiveFolder();
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
    iError.clear();
    std::uint64_t counter = 1;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (wasCancelled() || iCopyItem->iUsrStopBecsuseError) break;
        runRow(m_rows[i], i, counter, observer);
    }
    iCopyItem->flushFolders();
    iCopyItem->RemoveObserver();
    finishRun();
    m_progress = nullptr;
    m_observer = nullptr;
}

void KMerge::runRow(KMergeItem& row, std::size_t index, std::uint64_t& counter, MergeObserver& observer) {
    if (row.iStatus != kRowPending || row.iProcess == 0) return;
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
    case kResultFailed: return row.iActionError.isEmpty() ? QStringLiteral("Unknown error.") : row.iActionError;
    case kResultDone: return Messages::text("copyOk");
    case kResultAlreadyEqual: case kResultEqualByMetadata: return Messages::text("notCopied");
    case kResultCancelled: return QStringLiteral("Operation canceled.");
    default: return {};
    }
}

bool KMerge::fail(int error) { return failWith(errorText(error)); }

bool KMerge::failWith(const QString& message) {
    iError = message;
    return false;
}

int KMerge::ExecuteItem(KMergeItem& row, int action, const QString& prefix) {
    KItem* item = row.iItem;
    iError.clear();
    const std::string left = item->PathForSide(kSideLeft), right = item->PathForSide(kSideRight);
    std::string subject = left;
    if (action == kDeleteRight || action == kRenameRight) subject = right;
    if (m_observer) m_observer->statusChanged(prefix + QString::fromStdString(std::string(lastPathComponent(subject))));
    int code = kResultFailed;
    switch (action) {
    case kCopyToRight: case kCopyAsToRight: case kAliasToRight:
        code = executeCopy(row, action, left, right);
        break;
    case kCopyToLeft: case kCopyAsToLeft: case kAliasToLeft:
        code = executeCopy(row, action, right, left);
        break;
    case kAttrsToRight: code = executeAttributes(row, action, left, right); break;
    case kAttrsToLeft: code = executeAttributes(row, action, right, left); break;
    case kDeleteRight: case kDeleteLeft: code = executeDelete(row, action, subject); break;
    case kRenameRight: code = executeRename(row, action, right, row.iRenameToRight); break;
    case kRenameLeft: code = executeRename(row, action, left, row.iRenameToLeft); break;
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

int KMerge::executeCopy(KMergeItem& row, int action, const std::string& source, const std::string& target) {
    KItem* item = row.iItem;
    const bool toRight = readsLeft(action);
    const int sourceSide = toRight ? kSideLeft : kSideRight, destinationSide = toRight ? kSideRight : kSideLeft;
    std::string destination = target;
    if (action == kCopyAsToRight || action == kCopyAsToLeft) {
        const QString name = item->iCopyAs();
        if (name.isEmpty() || name.contains(QLatin1Char('/'))) return failWith(Messages::text("syncBadName")), kResultFailed;
        destination = joinPath(parentPath(target), name.toStdString());
    }
    if (destination.empty()) return kResultFailed;
    platform::FileSystem& fs = platform::systemFileSystem();
    platform::EntryStat from, to;
    if (const Recheck r = recheckSide(*item, sourceSide, source, fs, &from); r != Recheck::Unchanged)
        return failWith(recheckMessage(r)), kResultFailed;
    if (destination == target) {
        const Recheck r = recheckSide(*item, destinationSide, destination, fs, &to);
        if (r == Recheck::Appeared || r == Recheck::Changed || r == Recheck::Unreadable)
            return failWith(recheckMessage(r)), kResultFailed;
    } else if (fs.statPath(destination, false, to) != 0) {
        to = {};
    }
    const bool replacing = to.type != platform::EntryType::Other;
    if (replacing && m_settings.dontOverwriteEqual && item->iState == kStateEqual) {
        iCopyItem->advance(row.iSize);
        if (!iCopyItem->CopyAttrsFrom(source, destination)) return fail(EIO), kResultFailed;
        return m_root.iCmpFileContents ? kResultAlreadyEqual : kResultEqualByMetadata;
    }
    const bool alias = action == kAliasToRight || action == kAliasToLeft;
    // A file copied over a file is archived only once its copy is complete, so
    // a failed or killed copy leaves the old one where it was; anything else
    // replaced is archived first.
    const bool archiveLate = iArchiveItems && replacing && !alias && from.type == platform::EntryType::File &&
                             to.type != platform::EntryType::Folder;
    bool replacedStays = replacing;
    if (iArchiveItems && replacing && !archiveLate) {
        if (!archiveReplaced(row, destination, toRight)) return m_cancelled ? kResultCancelled : kResultFailed;
        replacedStays = exists(destination);   // gone unless archiving was given up
    }
    if (alias) {
        if (replacedStays && to.type == platform::EntryType::Folder && platform::removePermanently(destination) != 0)
            return failWith(QStringLiteral("Cannot create alias.")), kResultFailed;
        if (int e = platform::writeSymlink(source, destination)) return fail(e), kResultFailed;
        iCopyItem->advance(row.iSize);
        return kResultDone;
    }
    bool archiveRefused = false;
    if (archiveLate)
        iCopyItem->setBeforeReplace([&](const std::string& replaced) {
            iCopyItem->setBeforeReplace({});   // a copy into the archive must not archive again
            if (archiveReplaced(row, replaced, toRight)) return 0;
            archiveRefused = true;
            return m_cancelled ? ECANCELED : EIO;
        });
    QString error;
    const bool copied = iCopyItem->CopyItemFrom(source, destination, &error, toRight);
    iCopyItem->setBeforeReplace({});
    if (copied) return kResultDone;
    if (m_cancelled || iCopyItem->iCancelRequested) return kResultCancelled;
    if (!archiveRefused) iError = error;
    return kResultFailed;
}

int KMerge::executeAttributes(KMergeItem& row, int action, const std::string& source, const std::string& destination) {
    const int sourceSide = action == kAttrsToRight ? kSideLeft : kSideRight;
    if (const Recheck r = recheckSide(*row.iItem, sourceSide, source, platform::systemFileSystem());
        r != Recheck::Unchanged)
        return failWith(recheckMessage(r)), kResultFailed;
    if (!exists(destination)) return fail(ENOENT), kResultFailed;
    return iCopyItem->CopyAttrsFrom(source, destination) ? kResultDone : (fail(EIO), kResultFailed);
}

int KMerge::executeDelete(KMergeItem& row, int action, const std::string& path) {
    if (path.empty()) return kResultFailed;
    const int side = action == kDeleteRight ? kSideRight : kSideLeft;
    const Recheck r = recheckSide(*row.iItem, side, path, platform::systemFileSystem());
    if (r == Recheck::Vanished) return kResultDone;   // already gone: nothing to do
    if (r != Recheck::Unchanged) return failWith(recheckMessage(r)), kResultFailed;
    if (!m_tempDir.empty()) {
        const int e = moveIntoArchive(path, row.iItem->iPath(), side == kSideLeft);
        if (e == 0) return kResultDone;
        if (e == ECANCELED) return kResultCancelled;
        return fail(e), kResultFailed;
    }
    if (!m_settings.deletePermanently && platform::moveToTrash(path) == 0) return kResultDone;
    const int e = platform::removePermanently(path);
    if (e == 0) return kResultDone;
    if (iCopyItem->elevationAllowed()) {
        QString error;
        const int status = iCopyItem->authCopy().RemoveByTerminal(path, &error);
        if (status == 0) return kResultDone;
        if (status == KAuthCopy::AuthCancelled) return Cancel(), kResultCancelled;
    }
    return fail(e), kResultFailed;
}

int KMerge::executeRename(KMergeItem& row, int action, const std::string& path, const QString& newName) {
    if (newName.isEmpty()) return kResultFailed;
    if (newName.contains(QLatin1Char('/')) || newName == QLatin1String(".") || newName == QLatin1String(".."))
        return failWith(Messages::text("syncBadName")), kResultFailed;
    const int side = action == kRenameRight ? kSideRight : kSideLeft;
    if (const Recheck r = recheckSide(*row.iItem, side, path, platform::systemFileSystem()); r != Recheck::Unchanged)
        return failWith(recheckMessage(r)), kResultFailed;
    const std::string destination = joinPath(parentPath(path), newName.toStdString());
    if (int e = platform::moveEntry(path, destination)) {
        if (iCopyItem->elevationAllowed()) {
            QString error;
            const int status = iCopyItem->authCopy().RenameByTerminal(path, destination, &error);
            if (status == 0) return kResultDone;
            if (status == KAuthCopy::AuthCancelled) return Cancel(), kResultCancelled;
        }
        return fail(e), kResultFailed;
    }
    return kResultDone;
}

bool KMerge::archiveReplaced(const KMergeItem& row, const std::string& path, bool toRight) {
    int error = 0;
    if (!m_tempDir.empty()) {
        error = moveIntoArchive(path, row.iItem->iPath(), toRight);
        if (error == ECANCELED) return false;
    } else {
        error = platform::moveToTrash(path);
    }
    if (error == 0) return true;
    if (ContinueWithoutArchive()) return true;
    return failWith(Messages::format("archErr1", m_tempDir.empty() ? Messages::text("trash")
                                                                   : QString::fromStdString(std::string(lastPathComponent(m_tempDir)))) +
                    QStringLiteral(" (") + errorText(error) + QLatin1Char(')'));
}

int KMerge::moveIntoArchive(const std::string& path, const std::string& relative, bool toRight) {
    const std::string target = m_tempDir + "/" + relative;
    if (int e = platform::makeFolderWithParents(parentPath(target))) return e;
    const int moved = platform::moveEntry(path, target);
    if (moved != EXDEV) return moved;
    // Another volume: the archive receives a copy, then the original goes.
    QString error;
    if (!iCopyItem->CopyItemFrom(path, target, &error, toRight)) return m_cancelled ? ECANCELED : EIO;
    return platform::removePermanently(path);
}

bool KMerge::ContinueWithoutArchive() {
    if (m_prompt.showsUI()) {
        const double asked = monotonicSeconds();
        Question q;
        q.message = Messages::text("archErr0");
        q.details = Messages::format("archErr1", m_tempDir.empty() ? Messages::text("trash")
                                                                   : QString::fromStdString(std::string(lastPathComponent(m_tempDir))));
        q.buttons = {Messages::text("BtnContinue"), Messages::text("StopBtn")};
        const Answer answer = m_prompt.ask(q);
        if (m_progress) m_progress->addPause(monotonicSeconds() - asked);
        if (answer.button == 1) return false;
    }
    iArchiveItems = false;
    m_tempDir.clear();
    m_archiveDropped = true;
    return true;
}

void KMerge::finishRun() {
    if (m_tempDir.empty()) return;
    platform::Listing listing;
    platform::systemFileSystem().listFolder(m_tempDir, listing);
    if (!listing.entries.empty()) m_trash = m_tempDir;
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
