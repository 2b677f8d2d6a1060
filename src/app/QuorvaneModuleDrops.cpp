// Items dropped onto a folder of the comparison: where they may land, the
// queue that copies them, and the rows updated as each copy ends.

#include "app/QuorvaneModule.h"

#include "base/Messages.h"
#include "base/PathResolution.h"
#include "base/Settings.h"
#include "engine/KRootItem.h"
#include "engine/UserPrompt.h"
#include "platform/Volumes.h"
#include "sync/DragCopyQueue.h"
#include "sync/MergeList.h"

#include <QFile>

namespace qv {

DragCopyQueue& QuorvaneModule::copyQueue() {
    if (!m_copyQueue) {
        m_copyQueue = std::make_unique<DragCopyQueue>(m_prompt, m_settings);
        connect(m_copyQueue.get(), &DragCopyQueue::finished, this, &QuorvaneModule::CopyQueueFinished);
    }
    return *m_copyQueue;
}

std::string QuorvaneModule::dropTarget(KItem* item, int side) const {
    if (!m_root || m_thread || !m_parentItem || (side != kSideLeft && side != kSideRight)) return {};
    if (!m_settings.boolValue(QStringLiteral("allowDnD"))) return {};
    // A side read from a snapshot has no folder to copy into.
    if (m_root->snapshotFor(side)) return {};
    if (!item) return m_root->PathForSide(side);
    const bool folderHere = side == kSideLeft ? item->iDir1 : item->iDir2;
    if (!folderHere || !item->hasSide(side)) return {};
    return item->PathForSide(side);
}

bool QuorvaneModule::canDropOn(KItem* item, int side, const std::vector<std::string>& paths) const {
    const std::string target = dropTarget(item, side);
    if (target.empty() || platform::mountOf(target).readOnly) return false;
    return DragCopyQueue::DraggedFiles(paths, target);
}

bool QuorvaneModule::acceptDrop(KItem* item, int side, const std::vector<std::string>& paths) {
    if (!canDropOn(item, side, paths)) return false;
    const std::string target = dropTarget(item, side);
    m_dropTargets[target] = {item ? item : m_parentItem, side};
    copyQueue().enqueue(target, paths, side == kSideRight);
    return true;
}

void QuorvaneModule::entryCopied(const std::string& destination) {
    // The row of the copied entry, when the tree has one, shows what now
    // stands there; it reads "not compared" until the next comparison.
    const auto it = m_dropTargets.find(parentPath(destination));
    if (it == m_dropTargets.end() || !m_root || m_thread) return;
    const auto [folder, side] = it->second;
    const std::string_view name = lastPathComponent(destination);
    for (KItem* child : folder->iChildren()) {
        if (child->nameForSide(side) != name && child->nameForSide(side == kSideLeft ? kSideRight : kSideLeft) != name)
            continue;
        platform::EntryStat st;
        if (m_fs.statPath(destination, false, st) != 0) return;
        child->setHasSide(side, true);
        child->setSideValues(side, st.size, st.mtimeNs, st.type == platform::EntryType::Folder);
        child->iState = kStateNotCompared;
        emit rowsUpdated();
        return;
    }
}

void QuorvaneModule::CopyQueueFinished() {
    m_dropTargets.clear();
    emit dropCopiesFinished();
    if (!m_prompt.showsUI()) return;
    if (!m_settings.boolValue(QStringLiteral("dontAskRescan2"))) {
        const Answer a = m_prompt.ask({Messages::text("mergeMsg1"), Messages::text("mergeMsg2"),
                                       {Messages::text("rescan"), Messages::text("cancel")}, true});
        if (a.suppress) m_settings.store(QStringLiteral("dontAskRescan2"), true);
        if (a.button == 0) {
            m_mergeList->ClearMerge();
            QMetaObject::invokeMethod(this, [this] { Compare(true); }, Qt::QueuedConnection);
        }
    } else if (!m_settings.boolValue(QStringLiteral("dragMsg"))) {
        m_prompt.inform(Messages::text("dragInfo"));
        m_settings.store(QStringLiteral("dragMsg"), true);
    }
}

}  // namespace qv
