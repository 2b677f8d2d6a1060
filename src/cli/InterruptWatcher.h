#pragma once
// SIGINT, SIGTERM and SIGHUP end a command with 130, 143 or 129.
//
// A run that can stop cleanly watches for them while it lasts: it is told on
// its main thread (interrupted()) and through a flag its workers poll, and
// it has a moment to finish or roll back what is in flight and report. When
// it has not ended by then (a worker stuck in a system call on a slow file
// system, say) the process leaves at once with the same status: every write
// goes through a temporary, so leaving never costs the user's data. Without
// a watching run a signal ends the process at once; a second signal always
// does.

#include <QObject>

#include <atomic>

class QSocketNotifier;

namespace qv {

// Installs the handlers; called once when the program starts.
void installInterruptHandling();

class InterruptWatcher : public QObject {
    Q_OBJECT
public:
    InterruptWatcher();
    ~InterruptWatcher() override;

    // Set by the handler itself: usable as a cancel flag without an event loop.
    static const std::atomic<bool>& flag();
    // 128 + the number of the signal that came, 0 while none did.
    static int exitStatus();

signals:
    void interrupted();

private:
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace qv
