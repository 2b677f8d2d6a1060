#include "sync/DragCopyQueue.h"

#include "base/PathResolution.h"
#include "base/Settings.h"
#include "engine/FolderSize.h"
#include "platform/PathWalk.h"
#include "sync/EntryDisposal.h"
#include "sync/KCopyItem.h"
#include "sync/KMerge.h"

#include <QFile>

#include <unistd.h>

namespace qv {
namespace {

std::uint64_t sizeOf(const std::string& path) {
    platform::EntryStat st;
    if (platform::systemFileSystem().statPath(path, false, st) != 0) return 0;
    if (st.type != platform::EntryType::Folder) return st.size > 0 ? static_cast<std::uint64_t>(st.size) : 0;
    ScanOptions all;
    all.iIncludeHidden = all.iIncludeAliases = true;
    const FolderTotals t = FolderSizer(platform::systemFileSystem(), all, nullptr).FolderSize(path);
    return t.size > 0 ? static_cast<std::uint64_t>(t.size) : 0;
}

}  // namespace

DragCopyQueue::DragCopyQueue(UserPrompt& prompt, Settings& settings, QObject* parent)
    : QObject(parent), m_prompt(prompt), m_settings(settings), m_thread([this] { run(); }) {}

DragCopyQueue::~DragCopyQueue() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
    }
    m_cancelled = true;
    m_wake.notify_all();
    m_thread.join();
}

bool DragCopyQueue::DraggedFiles(const std::vector<std::string>& paths, const std::string& target) {
    platform::EntryStat st;
    if (paths.empty() || target.empty() || platform::systemFileSystem().statPath(target, true, st) != 0 ||
        st.type != platform::EntryType::Folder)
        return false;
    for (const std::string& path : paths) {
        // Onto the folder it came from, or into itself: nothing sensible to do.
        if (isSameOrInside(parentPath(path), target) && isSameOrInside(target, parentPath(path))) return false;
        if (isSameOrInside(target, path)) return false;
    }
    return true;
}

void DragCopyQueue::enqueue(const std::string& target, const std::vector<std::string>& paths, bool toRight) {
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.empty() && !m_busy) {
            m_cancelled = false;
            emit started();
        }
        m_itemsLeft += static_cast<int>(paths.size());
        m_queue.push_back({target, paths, toRight});
        m_busy = true;
    }
    m_wake.notify_one();
}

void DragCopyQueue::cancel() {
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    m_queue.clear();
    if (m_active) m_active->iCancelRequested = true;   // the file in flight stops too, rolled back
}

void DragCopyQueue::run() {
    for (;;) {
        Operation op;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_stopping) return;
            op = std::move(m_queue.front());
            m_queue.pop_front();
            m_copying = true;
        }
        int failures = 0;
        copyOperation(op, failures);
        std::lock_guard lock(m_mutex);
        m_copying = false;
        m_failures += failures;
        if (!m_queue.empty()) continue;
        const std::uint64_t serial = ++m_endsPosted;
        QMetaObject::invokeMethod(this, [this, serial] { endBatch(serial); }, Qt::QueuedConnection);
    }
}

void DragCopyQueue::endBatch(std::uint64_t serial) {
    int failed = 0;
    {
        std::lock_guard lock(m_mutex);
        // A drop made while this call was on its way belongs to the same
        // batch: the queue ends once, after it, with one question. Only the
        // last end posted counts, since it follows every item's report.
        if (serial != m_endsPosted || m_copying || !m_queue.empty()) return;
        m_busy = false;
        m_itemsLeft = 0;
        failed = m_failures;
        m_failures = 0;
    }
    emit finished(failed);
}

void DragCopyQueue::copyOperation(const Operation& op, int& failures) {
    std::uint64_t total = 0;
    for (const std::string& path : op.paths) total += sizeOf(path);
    const MergeSettings settings = MergeSettings::fromSettings(m_settings);
    KCopyItem copier(m_prompt);
    copier.iDontShowError = true;   // a drop's errors are reported per item, not asked about
    copier.iTryAdminCopy = false;
    EntryDisposal disposal(settings, m_prompt, copier);
    if (!disposal.prepare(settings.archive, KMerge::datedArchiveName().toStdString())) disposal.prepare(settings.archive, {});
    copier.setDisposer(disposal.disposer(), settings.archive);
    copier.SetObserver([this, total](std::uint64_t done) { emit progress(done, total); }, total);
    {
        std::lock_guard lock(m_mutex);
        m_active = &copier;
        if (m_cancelled) copier.iCancelRequested = true;
    }
    platform::UniqueFd target;
    const int targetError = platform::openFolder(op.target, target);
    for (const std::string& path : op.paths) {
        const std::string name(lastPathComponent(path));
        const std::string destinationPath = joinPath(op.target, name);
        if (m_cancelled) break;
        emit itemStarted(QFile::decodeName(name.c_str()), m_itemsLeft.load());
        QString error;
        platform::HeldEntry source, destination;
        if (targetError) {
            error = errorText(targetError);
        } else if (int e = platform::entryAtPath(path, source)) {
            error = errorText(e);
        } else {
            destination.folder = platform::UniqueFd(::dup(target.get()));
            destination.name = name;
            destination.path = destinationPath;
            disposal.beginRow(destinationPath, name);
            if (!copier.CopyItemFrom(source, destination, &error, op.toRight) && error.isEmpty()) error = errorText(EIO);
        }
        if (!error.isEmpty()) ++failures;
        --m_itemsLeft;
        emit itemFinished(QFile::decodeName(destinationPath.c_str()), error);
    }
    copier.flushFolders();
    copier.RemoveObserver();
    copier.setDisposer({}, false);
    std::lock_guard lock(m_mutex);
    m_active = nullptr;
}

}  // namespace qv
