#pragma once
// A plan executed for a script: no sheet, no question, the rows run on a
// worker thread and every failed row leaves one "name - reason" line behind
// for the script to read. The controller owns one while it runs.

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>

class QThread;

namespace qv {

class KMerge;

class ScriptedExecution final : public QObject {
    Q_OBJECT
public:
    // Takes the prepared run; `finished` is called on the main thread once
    // the worker has ended (and not at all when the object goes first).
    ScriptedExecution(std::unique_ptr<KMerge> merge, std::function<void()> finished, QObject* parent = nullptr);
    ~ScriptedExecution() override;   // cancels and awaits a running worker

    void start();
    void cancel();
    bool running() const { return m_thread != nullptr; }
    bool completed() const { return m_completed; }
    // One line per failed row: the item's name and what went wrong.
    const QStringList& errorLines() const { return m_errors; }

    // "%@ - %@" as the scripting interface has always written a failed row.
    static QString errorLine(const QString& name, const QString& reason);

private:
    void workerFinished();

    std::unique_ptr<KMerge> m_merge;
    std::function<void()> m_finished;
    QThread* m_thread = nullptr;
    QStringList m_errors;
    bool m_completed = false;
};

}  // namespace qv
