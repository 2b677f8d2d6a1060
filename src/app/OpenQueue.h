#pragma once
// Paths handed to the application (the command line, a file manager, a
// second start forwarding its arguments) arrive one event at a time. They
// wait here for 0.3 s after the latest one, so that two items handed over in
// quick succession open one comparison rather than two half-filled windows.

#include <QObject>
#include <QString>
#include <QTimer>

#include <string>
#include <vector>

namespace qv {

class Settings;

// What the queue asks of the open windows when it opens what it gathered.
// A window is named by its document's identifier.
class OpenQueueHost {
public:
    virtual ~OpenQueueHost() = default;
    // The document whose window compares `a` with `b` (in either order), or "".
    virtual QString GetOpenedQVModule(const std::string& a, const std::string& b) = 0;
    // Makes a new document whose window shows the two paths (either may be empty).
    virtual QString newDocument(const std::string& left, const std::string& right) = 0;
    virtual void bringToFront(const QString& document) = 0;
    // Starts the window's comparison unless one is running.
    virtual void startComparison(const QString& document) = 0;
    virtual void showSnapshotPreview(const std::string& file) = 0;
};

class OpenQueue final : public QObject {
    Q_OBJECT
public:
    static constexpr int kCoalesceMs = 300;

    OpenQueue(OpenQueueHost& host, const Settings& settings, QObject* parent = nullptr);

    // Queues `paths` and opens everything queued 0.3 s after the last call.
    // `start`: the comparison of the window chosen for them starts at once.
    void openFiles(const std::vector<std::string>& paths, bool start);
    // Opens what is queued now; returns the document chosen, "" for previews or nothing queued.
    QString OpenQueuedFiles();

    bool pending() const { return !m_pending.empty(); }
    // Forgets what is queued (the application is going).
    void discard();

signals:
    // A batch was opened in `document` ("" when it went to snapshot previews).
    void opened(const QString& document);

private:
    bool onlySnapshots() const;

    OpenQueueHost& m_host;
    const Settings& m_settings;
    std::vector<std::string> m_pending;
    bool m_start = false;
    QTimer m_timer;
};

}  // namespace qv
