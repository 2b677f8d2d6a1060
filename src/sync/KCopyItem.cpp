#include "sync/KCopyItem.h"

#include "base/Messages.h"
#include "base/PathResolution.h"
#include "engine/KRootItem.h"
#include "engine/UserPrompt.h"
#include "platform/ExtendedAttributes.h"
#include "platform/Trash.h"
#include "sync/KAuthCopy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace qv {
namespace {

using platform::EntryAt;
using platform::EntryStat;
using platform::EntryType;
using platform::HeldEntry;

bool setError(QString* error, int code) {
    if (error) *error = errorText(code);
    return false;
}

}  // namespace

QString errorText(int error) {
    if (error == platform::kSourceChangedWhileCopied) return Messages::text("syncChangedWhileCopied");
    return QString::fromLocal8Bit(std::strerror(error));
}

KCopyItem::KCopyItem(UserPrompt& prompt) : m_prompt(prompt), m_auth(std::make_unique<KAuthCopy>()) {}
KCopyItem::~KCopyItem() = default;

void KCopyItem::SetObserver(CopiedBytesObserver observer, std::uint64_t bytesToCopy) {
    m_observer = std::move(observer);
    m_total = bytesToCopy;
    m_completed = 0;
}

void KCopyItem::RemoveObserver() { m_observer = nullptr; }

void KCopyItem::advance(std::uint64_t bytes) {
    m_completed += bytes;
    if (m_observer) m_observer(m_completed);
}

void KCopyItem::setIModule(KRootItem* root, bool ownedByExecution) {
    m_root = root;
    m_ownedByExecution = ownedByExecution;
}

void KCopyItem::setDisposer(EntryDisposer disposer, bool keepReplacedFiles) {
    m_disposer = std::move(disposer);
    m_keepReplacedFiles = keepReplacedFiles;
}

void KCopyItem::flushFolders() { m_foldersToFlush.flushAll(); }

bool KCopyItem::elevationAllowed() const {
    return iTryAdminCopy && m_ownedByExecution && m_prompt.showsUI() && KAuthCopy::available();
}

bool KCopyItem::mayElevate(int error) { return error == EACCES || error == EPERM; }

bool KCopyItem::PathIsInsidePath(const std::string& path, const std::string& folder) {
    const std::string prefix = folder.empty() || folder.back() != '/' ? folder + "/" : folder;
    return path.compare(0, prefix.size(), prefix) == 0;
}

int KCopyItem::countedCopy(const std::string& destination,
                           const std::function<int(const platform::CopyOptions&)>& call) {
    // Each call reports its own running total; only what goes past the
    // watermark is new, so every byte counts once however often it is told.
    std::uint64_t watermark = 0;
    platform::CopyOptions options;
    options.cancelled = &iCancelRequested;
    options.io = m_io;
    options.deferredFolderSyncs = &m_foldersToFlush;
    options.sweptFolders = &m_sweptFolders;
    if (m_disposer) {
        options.disposeReplaced = [&](const EntryAt& replaced, const std::string& relative, bool folder) {
            return m_disposer(replaced, relative.empty() ? destination : joinPath(destination, relative), folder, true);
        };
        options.disposeReplacedFiles = m_keepReplacedFiles;
    }
    options.progress = [&](std::int64_t bytes) {
        const auto done = static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0));
        if (done > watermark) {
            advance(done - watermark);
            watermark = done;
        }
    };
    return call(options);
}

bool KCopyItem::CopyItemFrom(const HeldEntry& source, const HeldEntry& destination, QString* error, bool toRight) {
    EntryStat from, target;
    if (int e = platform::statAt(source.at(), from)) return setError(error, e);
    const bool exists = platform::statAt(destination.at(), target) == 0;
    const bool spare = iDontOverIdent && exists;
    int e = 0;
    bool done = false;
    if (exists && !spare && target.type == EntryType::Folder && from.type == EntryType::Folder) {
        // A fresh copy replaces the folder whole; until it stands, the old one stays.
        e = countedCopy(destination.path, [&](const platform::CopyOptions& o) {
            return platform::replaceWithCopyAt(source.at(), destination.at(), o);
        });
        done = e == 0;
    } else {
        done = copyItemAtURL({source.at(), source.path}, {destination.at(), destination.path}, from,
                             exists ? &target : nullptr, spare, e, toRight);
    }
    if (done) return true;
    if (iCancelRequested || e == ECANCELED) return setError(error, ECANCELED);
    // Administrator rights only ever make a new entry: what stands at the
    // destination must go through the disposal, which they would bypass.
    if (!exists && mayElevate(e) && elevationAllowed() && elevatedCopy(source, destination)) {
        if (error) error->clear();
        return true;
    }
    setError(error, e);
    // In a window the user may stop the run here.
    ShowCopyError(errorText(e), from.type != EntryType::Folder);
    return false;
}

int KCopyItem::copyAside(const EntryAt& source, const EntryAt& destination) {
    return countedCopy({}, [&](const platform::CopyOptions& o) { return platform::copyItemAt(source, destination, false, o); });
}

bool KCopyItem::elevatedCopy(const HeldEntry& source, const HeldEntry& destination) {
    QString elevatedError;
    const int status =
        m_auth->CopyByTerminal(platform::pathThrough(source.at()), platform::pathThrough(destination.at()), &elevatedError);
    if (status == KAuthCopy::AuthCancelled) iCancelRequested = true;
    return status == 0;
}

bool KCopyItem::copyItemAtURL(const Spot& source, const Spot& destination, const EntryStat& from,
                              const EntryStat* target, bool spare, int& error, bool toRight) {
    if (from.type != EntryType::Folder)
        return copyFileWithProgress(source, destination, from, target, spare, toRight, error);
    if (target && target->type == EntryType::Folder) return mergeFolder(source, destination, spare, error, toRight);
    // A new folder is assembled whole beside its place; an entry of another
    // kind there is swapped out only once the copy is complete.
    error = countedCopy(destination.path, [&](const platform::CopyOptions& o) {
        return platform::copyItemAt(source.at, destination.at, target != nullptr, o);
    });
    return error == 0;
}

bool KCopyItem::mergeFolder(const Spot& source, const Spot& destination, bool spare, int& error, bool toRight) {
    platform::UniqueFd from, to;
    if ((error = platform::openBelow(source.at.folder, source.at.name, from)) != 0) return false;
    if ((error = platform::openBelow(destination.at.folder, destination.at.name, to)) != 0) return false;
    platform::Listing listing;
    platform::listOpenFolder(from.get(), listing);
    if ((error = listing.folderError) != 0) return false;
    if (!listing.entryErrors.empty()) return (error = listing.entryErrors.front().error), false;
    std::vector<const platform::ListedEntry*> entries;
    for (const auto& entry : listing.entries) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(),
              [&](const auto* a, const auto* b) { return listing.name(*a) < listing.name(*b); });
    for (const platform::ListedEntry* entry : entries) {
        if (iCancelRequested) return (error = ECANCELED), false;
        const std::string name(listing.name(*entry));
        const Spot child{{from.get(), name}, joinPath(source.path, name)};
        const Spot into{{to.get(), name}, joinPath(destination.path, name)};
        EntryStat target;
        const bool exists = platform::statAt(into.at, target) == 0;
        if (!copyItemAtURL(child, into, entry->stat, exists ? &target : nullptr, spare, error, toRight)) return false;
    }
    // Only once everything copied stands: a failure above prunes nothing.
    if (spare && !removeItemsInDest(destination, source, error)) return false;
    error = platform::copyFolderAttributesAt(source.at, destination.at);
    return error == 0;
}

bool KCopyItem::removeItemsInDest(const Spot& destination, const Spot& source, int& error) {
    platform::UniqueFd into, from;
    if ((error = platform::openBelow(destination.at.folder, destination.at.name, into)) != 0) return false;
    if ((error = platform::openBelow(source.at.folder, source.at.name, from)) != 0) return false;
    platform::Listing listing;
    platform::listOpenFolder(into.get(), listing);
    if ((error = listing.folderError) != 0) return false;
    for (const auto& entry : listing.entries) {
        const std::string name(listing.name(entry));
        EntryStat counterpart;
        if (platform::statAt({from.get(), name}, counterpart) == 0) continue;
        const EntryAt extra{into.get(), name};
        const bool folder = entry.stat.type == EntryType::Folder;
        error = m_disposer ? m_disposer(extra, joinPath(destination.path, name), folder, false)
                           : platform::removePermanentlyAt(extra);
        if (error) return false;
    }
    return true;
}

bool KCopyItem::isSpared(const std::string& source, const EntryStat& from, const EntryStat* target,
                         bool toRight) const {
    if (!m_root || !target || target->type != EntryType::File || from.size != target->size) return false;
    const KItem* item = m_root->ItemForPath(source, toRight ? kSideLeft : kSideRight);
    return item && item->iState == kStateEqual;
}

bool KCopyItem::copyFileWithProgress(const Spot& source, const Spot& destination, const EntryStat& from,
                                     const EntryStat* target, bool spare, bool toRight, int& error) {
    const auto size = static_cast<std::uint64_t>(std::max<std::int64_t>(from.size, 0));
    if (spare && isSpared(source.path, from, target, toRight)) {
        advance(size);
        error = CopyAttrsFrom(source.at, destination.at);
        return error == 0;
    }
    const std::uint64_t before = m_completed;
    error = countedCopy(destination.path, [&](const platform::CopyOptions& o) {
        return platform::copyItemAt(source.at, destination.at, true, o);
    });
    if (error != 0) return false;
    // A file that shrank while copied still counts its size.
    if (m_completed - before < size) advance(size - (m_completed - before));
    return true;
}

int KCopyItem::CopyAttrsFrom(const EntryAt& source, const EntryAt& destination) {
    if (const auto tags = platform::readTags(platform::pathThrough(source), false))
        if (const int error = platform::writeTags(platform::pathThrough(destination), *tags)) return error;
    EntryStat from;
    if (platform::statAt(source, from) != 0 || from.mtimeNs == platform::kNoTime) return 0;
    return platform::copyModificationTimeAt(source, destination);
}

bool KCopyItem::ShowCopyError(const QString& error, bool fileError) {
    if (iDontShowError || !m_ownedByExecution || !m_prompt.showsUI()) return !iUsrStopBecsuseError;
    Question question;
    question.message = Messages::text(fileError ? "cpyErr1" : "cpyErr2");
    question.details = error;
    question.buttons = {Messages::text("BtnContinue"), Messages::text("StopBtn")};
    question.offersSuppression = true;
    const Answer answer = m_prompt.ask(question);
    iUsrStopBecsuseError = answer.button == 1;
    if (answer.suppress) iDontShowError = true;
    return !iUsrStopBecsuseError;
}

}  // namespace qv
