// The controller's side of scripting: the one waiting request of a window,
// sync planning and execution started by a script.

#include "app/QuorvaneModule.h"
#include "app/ScriptedExecution.h"
#include "base/Settings.h"
#include "sync/KMerge.h"
#include "sync/MergeList.h"
#include "sync/MirrorPlanner.h"

#include <QTimer>

#include <utility>

namespace qv {

void QuorvaneModule::setICompareCompletionHandler(CompletionHandler handler) {
    if (CompletionHandler waiting = std::exchange(m_completion, nullptr)) waiting(false);
    m_completion = std::move(handler);
}

void QuorvaneModule::NotifyIfAppleScript() {
    // Taken out first: the answer may install the next request.
    if (CompletionHandler waiting = std::exchange(m_completion, nullptr)) waiting(true);
}

void QuorvaneModule::StartMirrorType(int type, int direction, CompletionHandler handler) {
    m_iSyncType = type;
    m_iMirror = direction;
    if (direction != kMirrorBoth && m_settings.boolValue(QStringLiteral("mirrorDelDest")))
        m_iMirror |= kMirrorDeleteOrphans;
    setICompareCompletionHandler(std::move(handler));
    if (m_parentItem && !m_thread) {
        // Planned from the event loop, as a sheet closing first would have it.
        QTimer::singleShot(0, this, [this] {
            if (m_parentItem && !m_thread) StartMirror2(m_iSyncType, m_iMirror);
            NotifyIfAppleScript();
        });
        return;
    }
    // No tree yet: the comparison plans the sync when its sizes are in.
    if (!m_thread && !Compare(true)) NotifyIfAppleScript();
}

bool QuorvaneModule::executing() const { return m_execution && m_execution->running(); }

void QuorvaneModule::ExecuteWithArchive(const QString& archive, CompletionHandler handler) {
    m_asErrors.clear();
    setICompareCompletionHandler(std::move(handler));
    const bool snapshotSide = m_root && (m_root->iSnapshot1 || m_root->iSnapshot2);
    const bool canExecute = m_root && !m_thread && !executing() && !snapshotSide && !m_mergeList->iMergeItems().empty();
    if (!canExecute) {
        NotifyIfAppleScript();
        return;
    }
    if (archive == QLatin1String("#TRASH!")) {
        m_settings.store(QStringLiteral("overwrittenToTrash2"), true);
        m_settings.remove(QStringLiteral("mergeArchiveFolder"));
    } else if (archive == QLatin1String("#NOARCHIVE!")) {
        m_settings.store(QStringLiteral("overwrittenToTrash2"), false);
        m_settings.remove(QStringLiteral("mergeArchiveFolder"));
    } else if (!archive.isEmpty()) {
        m_settings.store(QStringLiteral("mergeArchiveFolder"), archive);
        m_settings.store(QStringLiteral("overwrittenToTrash2"), true);
    }
    std::unique_ptr<KMerge> merge =
        KMerge::Start(m_mergeList->iMergeItems(), *m_root, m_prompt, MergeSettings::fromSettings(m_settings));
    m_execution = std::make_unique<ScriptedExecution>(std::move(merge), [this] {
        m_asErrors = m_execution->errorLines();
        // The plan stays marked, as after a run in the window, until the next comparison.
        refreshButtons();
        emit treeChanged();
        NotifyIfAppleScript();
    });
    refreshButtons();
    m_execution->start();
}

}  // namespace qv
