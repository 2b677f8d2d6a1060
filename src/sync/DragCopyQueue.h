#pragma once
// Copies made by dragging items onto a folder of the comparison: one batch
// of paths per drop, run one at a time on a thread of their own, with the
// same durable copy and the same rule for what a copy replaces as an
// execution (archive, trash, or a question before deleting for good).
// Errors do not stop the batch; each item reports how it went.

#include <QObject>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qv {

class Settings;
class UserPrompt;

class DragCopyQueue final : public QObject {
    Q_OBJECT
public:
    DragCopyQueue(UserPrompt& prompt, Settings& settings, QObject* parent = nullptr);
    ~DragCopyQueue() override;

    // Whether `paths` may be copied into the folder `target`: it exists, no
    // path already lies directly in it, and none is the target or holds it.
    static bool DraggedFiles(const std::vector<std::string>& paths, const std::string& target);

    // Queues a copy of `paths` into `target` (each under its own name);
    // `toRight` says which side the target is (for the copy's checks).
    void enqueue(const std::string& target, const std::vector<std::string>& paths, bool toRight);
    // Stops after the item being copied; what is still queued is dropped.
    void cancel();
    bool busy() const { return m_busy.load(); }

signals:
    // A batch of drops began (the first item of an empty queue).
    void started();
    void itemStarted(const QString& name, int itemsLeft);
    void progress(quint64 bytesDone, quint64 bytesTotal);
    // `destination` is the path the item was copied to; `error` "" when it worked.
    void itemFinished(const QString& destination, const QString& error);
    // The queue ran empty; `failures` items of the whole batch did not copy.
    void finished(int failures);

private:
    struct Operation {
        std::string target;
        std::vector<std::string> paths;
        bool toRight = true;
    };

    void run();
    // On the queue's own thread (the caller's): the batch ends when nothing
    // was queued since the worker ran empty for the `serial`th time.
    void endBatch(std::uint64_t serial);
    void copyOperation(const Operation& op, int& failures);

    UserPrompt& m_prompt;
    Settings& m_settings;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Operation> m_queue;
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_itemsLeft{0};
    class KCopyItem* m_active = nullptr;   // the copier of the running batch, under m_mutex
    bool m_stopping = false;
    bool m_copying = false;   // the worker holds an operation, under m_mutex
    int m_failures = 0;       // of the running batch, under m_mutex
    std::uint64_t m_endsPosted = 0;   // times the worker ran empty, under m_mutex
    std::thread m_thread;
};

}  // namespace qv
