#include "app/ScriptedExecution.h"

#include "base/Messages.h"
#include "engine/KItem.h"
#include "sync/KMerge.h"

#include <QThread>

namespace qv {
namespace {

class SilentObserver final : public MergeObserver {};

}  // namespace

ScriptedExecution::ScriptedExecution(std::unique_ptr<KMerge> merge, std::function<void()> finished, QObject* parent)
    : QObject(parent), m_merge(std::move(merge)), m_finished(std::move(finished)) {}

ScriptedExecution::~ScriptedExecution() {
    if (!m_thread) return;
    m_merge->Cancel();
    m_thread->wait();
    delete m_thread;
}

QString ScriptedExecution::errorLine(const QString& name, const QString& reason) {
    return name + QStringLiteral(" - ") + reason;
}

void ScriptedExecution::start() {
    if (m_thread) return;
    KMerge* merge = m_merge.get();
    m_thread = QThread::create([merge] {
        SilentObserver observer;
        merge->MergeThread(observer);
    });
    connect(m_thread, &QThread::finished, this, &ScriptedExecution::workerFinished, Qt::QueuedConnection);
    m_thread->start();
}

void ScriptedExecution::cancel() {
    if (m_thread) m_merge->Cancel();
}

void ScriptedExecution::workerFinished() {
    if (!m_thread) return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    // The rows are read here, on the main thread, once the worker let go of them.
    for (const KMergeItem& row : m_merge->iMergeItems()) {
        if (row.iStatus != kRowFailed) continue;
        const QString name = row.iItem->iName().isEmpty() ? row.iItem->iName2() : row.iItem->iName();
        QString reason = KMerge::ActionError(row);
        if (reason.isEmpty()) reason = Messages::text("unknownError");
        m_errors << errorLine(name, reason);
    }
    m_completed = !m_merge->wasCancelled();
    if (m_finished) m_finished();
}

}  // namespace qv
