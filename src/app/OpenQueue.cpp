#include "app/OpenQueue.h"

#include "base/Settings.h"

#include <string_view>
#include <utility>

namespace qv {
namespace {

bool hasSnapshotExtension(const std::string& path) {
    constexpr std::string_view ext = ".qvss";
    if (path.size() <= ext.size()) return false;
    // Snapshot files written elsewhere may carry the extension in capitals.
    for (std::size_t i = 0; i < ext.size(); ++i) {
        const char c = path[path.size() - ext.size() + i];
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != ext[i]) return false;
    }
    return path[path.size() - ext.size() - 1] != '/';
}

}  // namespace

OpenQueue::OpenQueue(OpenQueueHost& host, const Settings& settings, QObject* parent)
    : QObject(parent), m_host(host), m_settings(settings) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(kCoalesceMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { OpenQueuedFiles(); });
}

void OpenQueue::openFiles(const std::vector<std::string>& paths, bool start) {
    m_pending.insert(m_pending.end(), paths.begin(), paths.end());
    m_start = m_start || start;
    m_timer.start();   // a later arrival moves the opening on again
}

void OpenQueue::discard() {
    m_timer.stop();
    m_pending.clear();
    m_start = false;
}

bool OpenQueue::onlySnapshots() const {
    for (const std::string& p : m_pending)
        if (!hasSnapshotExtension(p)) return false;
    return !m_pending.empty();
}

QString OpenQueue::OpenQueuedFiles() {
    m_timer.stop();
    const bool previews = m_settings.boolValue(QStringLiteral("qvssPreview")) && onlySnapshots();
    std::vector<std::string> paths;
    paths.swap(m_pending);
    const bool start = std::exchange(m_start, false);
    if (previews) {
        for (const std::string& p : paths) m_host.showSnapshotPreview(p);
        emit opened(QString());
        return {};
    }
    QString document;
    if (paths.size() >= 2) {
        document = m_host.GetOpenedQVModule(paths[0], paths[1]);
        if (!document.isEmpty()) m_host.bringToFront(document);
        else document = m_host.newDocument(paths[0], paths[1]);
    } else {
        // One path goes into the left field; the user picks the other side.
        document = m_host.newDocument(paths.empty() ? std::string() : paths[0], std::string());
    }
    if (start && paths.size() >= 2) m_host.startComparison(document);
    emit opened(document);
    return document;
}

}  // namespace qv
