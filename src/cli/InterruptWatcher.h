#pragma once
// Turns SIGINT and SIGTERM into a Qt signal on the main thread, so an
// interrupted run can cancel its scan and leave through the normal path.

#include <QObject>

class QSocketNotifier;

namespace qv {

class InterruptWatcher : public QObject {
    Q_OBJECT
public:
    InterruptWatcher();
    ~InterruptWatcher() override;

signals:
    void interrupted();

private:
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace qv
