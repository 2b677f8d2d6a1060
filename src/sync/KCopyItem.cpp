#include "sync/KCopyItem.h"

#include "base/Messages.h"
#include "engine/KRootItem.h"
#include "base/PathResolution.h"
#include "engine/UserPrompt.h"
#include "platform/ExtendedAttributes.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"
#include "sync/KAuthCopy.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace qv {
namespace {

using platform::EntryStat;
using platform::EntryType;

// lstat through the platform layer: 0, ENOENT or another errno.
int entryAt(const std::string& path, EntryStat& out) {
    return platform::systemFileSystem().statPath(path, false, out);
}

bool setError(QString* error, int code) {
    if (error) *error = errorText(code);
    return false;
}

}  // namespace

QString errorText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

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

void KCopyItem::flushFolders() {
    platform::syncFolders(m_foldersToFlush);
    m_foldersToFlush.clear();
}

bool KCopyItem::elevationAllowed() const {
    return iTryAdminCopy && m_ownedByExecution && m_prompt.showsUI() && KAuthCopy::available();
}

bool KCopyItem::PathIsInsidePath(const std::string& path, const std::string& folder) {
    const std::string prefix = folder.empty() || folder.back() != '/' ? folder + "/" : folder;
    return path.compare(0, prefix.size(), prefix) == 0;
}

int KCopyItem::countedCopy(const std::function<int(const platform::CopyOptions&)>& call) {
    // Each call reports its own running total; only what goes past the
    // watermark is new, so every byte counts once however often it is told.
    std::uint64_t watermark = 0;
    platform::CopyOptions options;
    options.cancelled = &iCancelRequested;
    options.io = m_io;
    options.deferredFolderSyncs = &m_foldersToFlush;
    options.sweptFolders = &m_sweptFolders;
    options.beforeReplace = m_beforeReplace;
    options.progress = [&](std::int64_t bytes) {
        const auto done = static_cast<std::uint64_t>(std::max<std::int64_t>(bytes, 0));
        if (done > watermark) {
            advance(done - watermark);
            watermark = done;
        }
    };
    return call(options);
}

bool KCopyItem::CopyItemFrom(const std::string& source, const std::string& destination, QString* error, bool toRight) {
    iSourcePath = source;
    if (source.empty() || destination.empty()) return setError(error, EINVAL);
    EntryStat target, from;
    if (int e = entryAt(source, from)) return setError(error, e);
    const bool exists = entryAt(destination, target) == 0;
    bool spare = iDontOverIdent && exists;
    if (exists && target.type == EntryType::Folder && from.type == EntryType::Folder) {
        QString pruneError;
        if (!(spare && removeItemsInDest(destination, source, &pruneError))) {
            // A fresh copy replaces the folder whole; until it stands, the old one stays.
            const int e = countedCopy([&](const platform::CopyOptions& o) {
                return platform::replaceWithCopy(source, destination, o);
            });
            if (e == 0) return true;
            if (iCancelRequested) return setError(error, ECANCELED);
            return setError(error, e);
        }
    }
    const std::string parent = parentPath(destination);
    EntryStat parentStat;
    if (entryAt(parent, parentStat) != 0) {
        if (int e = platform::makeFolderWithParents(parent)) {
            QString elevatedError;
            const int status = elevationAllowed() ? m_auth->MakeDirByTerminal(parent, &elevatedError) : 1;
            if (status == KAuthCopy::AuthCancelled || !elevationAllowed()) {
                if (status == KAuthCopy::AuthCancelled) iCancelRequested = true;
                setError(error, e);
                ShowCopyError(errorText(e), true);
                return false;
            }
        }
    }
    if (copyItemAtURL(source, destination, from, exists ? &target : nullptr, spare, error, toRight)) return true;
    if (iCancelRequested || !elevationAllowed()) return false;
    QString elevatedError;
    const int status = m_auth->CopyByTerminal(source, parent, &elevatedError);
    if (status == 0) {
        if (error) error->clear();
        return true;
    }
    if (status == KAuthCopy::AuthCancelled) iCancelRequested = true;
    return false;
}

bool KCopyItem::copyItemAtURL(const std::string& source, const std::string& destination, const EntryStat& from,
                              const EntryStat* target, bool spare, QString* error, bool toRight) {
    if (from.type != EntryType::Folder)
        return copyFileWithProgress(source, destination, from, target, spare, toRight, error);
    if (target && target->type == EntryType::Folder) return mergeFolder(source, destination, spare, error, toRight);
    // A new folder is assembled whole beside its place; an entry of another
    // kind there is swapped out only once the copy is complete.
    const int e = countedCopy([&](const platform::CopyOptions& o) {
        return platform::copyItem(source, destination, target != nullptr, o);
    });
    return e == 0 || setError(error, e);
}

bool KCopyItem::mergeFolder(const std::string& source, const std::string& destination, bool spare, QString* error,
                            bool toRight) {
    platform::Listing listing;
    platform::systemFileSystem().listFolder(source, listing);
    if (listing.folderError) return setError(error, listing.folderError);
    if (!listing.entryErrors.empty()) return setError(error, listing.entryErrors.front().error);
    std::vector<const platform::ListedEntry*> entries;
    for (const auto& entry : listing.entries) entries.push_back(&entry);
    std::sort(entries.begin(), entries.end(),
              [&](const auto* a, const auto* b) { return listing.name(*a) < listing.name(*b); });
    for (const platform::ListedEntry* entry : entries) {
        if (iCancelRequested) return setError(error, ECANCELED);
        const std::string from = joinPath(source, listing.name(*entry));
        const std::string to = joinPath(destination, listing.name(*entry));
        EntryStat target;
        const bool exists = entryAt(to, target) == 0;
        if (!copyItemAtURL(from, to, entry->stat, exists ? &target : nullptr, spare, error, toRight)) return false;
    }
    if (int e = platform::copyFolderAttributes(source, destination)) return setError(error, e);
    return true;
}

bool KCopyItem::isSpared(const std::string& source, const EntryStat& from, const EntryStat* target,
                         bool toRight) const {
    if (!m_root || !target || from.size != target->size) return false;
    const KItem* item = m_root->ItemForPath(source, toRight ? kSideLeft : kSideRight);
    return item && item->iState == kStateEqual;
}

bool KCopyItem::copyFileWithProgress(const std::string& source, const std::string& destination, const EntryStat& from,
                                     const EntryStat* target, bool spare, bool toRight, QString* error) {
    const auto size = static_cast<std::uint64_t>(std::max<std::int64_t>(from.size, 0));
    if (spare && isSpared(source, from, target, toRight)) {
        advance(size);
        return CopyAttrsFrom(source, destination) || setError(error, EIO);
    }
    const std::uint64_t before = m_completed;
    const int e = countedCopy([&](const platform::CopyOptions& o) {
        return platform::copyItem(source, destination, true, o);
    });
    if (e != 0) return setError(error, e);
    // A file that grew while copied adds what was copied; one that shrank still counts its size.
    if (m_completed - before < size) advance(size - (m_completed - before));
    return true;
}

bool KCopyItem::CopyAttrsFrom(const std::string& source, const std::string& destination) {
    if (source.empty() || destination.empty()) return false;
    bool tagsOk = true;
    if (const auto tags = platform::readTags(source, false)) tagsOk = platform::writeTags(destination, *tags) == 0;
    EntryStat from;
    if (entryAt(source, from) != 0 || from.mtimeNs == platform::kNoTime) return tagsOk;
    return tagsOk && platform::copyModificationTime(source, destination) == 0;
}

bool KCopyItem::removeItemsInDest(const std::string& destination, const std::string& source, QString* error) {
    platform::Listing listing;
    platform::systemFileSystem().listFolder(destination, listing);
    if (listing.folderError) return setError(error, listing.folderError);
    for (const auto& entry : listing.entries) {
        const std::string name(listing.name(entry));
        const std::string inDestination = destination + "/" + name;
        EntryStat counterpart;
        if (entryAt(source + "/" + name, counterpart) == 0) {
            if (entry.stat.type == EntryType::Folder && counterpart.type == EntryType::Folder &&
                !removeItemsInDest(inDestination, source + "/" + name, error))
                return false;
            continue;
        }
        if (int e = platform::removePermanently(inDestination)) return setError(error, e);
    }
    return true;
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
