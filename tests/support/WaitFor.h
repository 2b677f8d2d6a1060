#pragma once
// Runs the event loop until a signal arrives (false when it does not within
// the time given), as a window waits for its controller's threads.

#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace qv::test {

template <class Sender, class Signal>
bool waitFor(Sender* sender, Signal signal, int milliseconds = 20000) {
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, [&loop] { loop.quit(); });
    QTimer::singleShot(milliseconds, &loop, [&loop] { loop.exit(1); });
    return loop.exec() == 0;
}

// Runs the event loop until `done` answers true, checking every few milliseconds.
template <class Condition>
bool waitUntil(Condition done, int milliseconds = 20000) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(milliseconds, &loop, [&loop] { loop.exit(1); });
    return done() || loop.exec() == 0;
}

}  // namespace qv::test
