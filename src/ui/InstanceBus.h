#pragma once
// One window process per user session. The first process to start owns a
// well-known name on the session bus; a later start hands its paths to that
// owner and ends. Paths travel as bytes ("aay"), so names that are not
// UTF-8 arrive intact. Without a session bus every start runs on its own.

#include <QByteArray>
#include <QList>
#include <QObject>

#include <functional>

namespace qv {

class InstanceBus final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.quorvane.Quorvane.Application")
public:
    static constexpr const char* kService = "org.quorvane.Quorvane";
    static constexpr const char* kPath = "/org/quorvane/Quorvane";
    static constexpr const char* kInterface = "org.quorvane.Quorvane.Application";

    enum class Role {
        Primary,     // this process owns the name and receives later starts' paths
        Forwarded,   // a running process took the paths: this one has nothing to do
        Alone,       // no session bus (or its owner did not answer): run unshared
    };

    explicit InstanceBus(QObject* parent = nullptr);
    ~InstanceBus() override;

    // Claims the name, or hands `paths` (absolute) and `start` to its owner.
    Role claimOrForward(const QList<QByteArray>& paths, bool start);

    // Answers the bus's "Comparisons" call: the left and the right path of
    // every open comparison window, in turn.
    void setComparisonsSource(std::function<QList<QByteArray>()> source) { m_comparisons = std::move(source); }

public slots:
    Q_SCRIPTABLE void Open(const QList<QByteArray>& paths, bool start);
    Q_SCRIPTABLE QList<QByteArray> Comparisons() const;

signals:
    void openRequested(const QList<QByteArray>& paths, bool start);

private:
    bool forward(const QList<QByteArray>& paths, bool start) const;

    std::function<QList<QByteArray>()> m_comparisons;
    bool m_registered = false;
};

}  // namespace qv
