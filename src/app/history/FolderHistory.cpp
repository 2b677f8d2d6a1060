#include "app/history/FolderHistory.h"

#include "base/Settings.h"

#include <QVariantMap>

namespace qv {
namespace {

std::size_t historyLimit(const Settings& settings) {
    const qint64 limit = settings.intValue(QStringLiteral("fHistoryLimit"));
    return static_cast<std::size_t>(limit < 0 ? 0 : limit) + 1;
}

// Drops the first unlocked entries while the list is over the limit.
template <class T>
void trim(std::vector<T>& items, std::size_t limit) {
    while (items.size() > limit) {
        auto it = std::find_if(items.begin(), items.end(), [](const T& e) { return !e.locked; });
        if (it == items.end()) return;
        items.erase(it);
    }
}

}  // namespace

FolderHistory::FolderHistory(Settings& settings, bool folders)
    : m_settings(settings), m_key(folders ? QStringLiteral("folderHist") : QStringLiteral("fileHist")) {}

std::vector<HistoryPair> FolderHistory::pairs() const {
    std::vector<HistoryPair> out;
    for (const QVariant& v : m_settings.value(m_key).toList()) {
        const QVariantMap m = v.toMap();
        if (!m.contains(QStringLiteral("l"))) continue;
        out.push_back({m.value(QStringLiteral("l")).toString(), m.value(QStringLiteral("r")).toString(),
                       m.value(QStringLiteral("locked")).toBool()});
    }
    return out;
}

void FolderHistory::store(const std::vector<HistoryPair>& pairs) {
    if (pairs.empty()) {
        m_settings.remove(m_key);
        return;
    }
    QVariantList list;
    for (const HistoryPair& p : pairs)
        list << QVariantMap{{QStringLiteral("l"), p.l}, {QStringLiteral("r"), p.r}, {QStringLiteral("locked"), p.locked}};
    m_settings.store(m_key, list);
}

void FolderHistory::StoreFolderHistory(const QString& left, const QString& right) {
    std::vector<HistoryPair> list = pairs();
    for (const HistoryPair& p : list) {
        const bool same = p.l.compare(left, Qt::CaseInsensitive) == 0 && p.r.compare(right, Qt::CaseInsensitive) == 0;
        const bool swapped = p.l.compare(right, Qt::CaseInsensitive) == 0 && p.r.compare(left, Qt::CaseInsensitive) == 0;
        if (same || swapped) return;
    }
    list.push_back({left, right, false});
    trim(list, historyLimit(m_settings));
    store(list);
}

void FolderHistory::ClearFolderHistory() {
    std::vector<HistoryPair> list = pairs();
    std::erase_if(list, [](const HistoryPair& p) { return !p.locked; });
    store(list);
}

bool FolderHistory::setLocked(int row, bool locked) {
    std::vector<HistoryPair> list = pairs();
    if (row < 0 || row >= static_cast<int>(list.size())) return false;
    moveForLock(list, row, locked);
    store(list);
    return true;
}

bool FolderHistory::remove(int row) {
    std::vector<HistoryPair> list = pairs();
    if (row < 0 || row >= static_cast<int>(list.size())) return false;
    list.erase(list.begin() + row);
    store(list);
    return true;
}

KLastFolders::KLastFolders(Settings& settings, const QString& name) : m_settings(settings), m_name(name) {
    // Read whatever "savePaths" says: what is stored back must never lose what was there.
    const QVariant stored = settings.value(name + QStringLiteral("75"));
    if (stored.isValid()) {
        for (const QVariant& v : stored.toList()) {
            const QVariantMap m = v.toMap();
            if (m.contains(QStringLiteral("path")))
                m_items.push_back({m.value(QStringLiteral("path")).toString(), m.value(QStringLiteral("locked")).toBool(), true});
        }
        return;
    }
    // The older form: plain paths, newest first.
    const QStringList old = settings.value(name).toStringList();
    for (auto it = old.rbegin(); it != old.rend(); ++it) m_items.push_back({*it, false, true});
}

void KLastFolders::AddFolder(const QString& path, bool locked) {
    if (path.isEmpty()) return;
    for (const Entry& e : m_items)
        if (e.path.compare(path, Qt::CaseInsensitive) == 0) return;
    m_items.push_back({path, locked});
    trim(m_items, historyLimit(m_settings));
}

void KLastFolders::ClearHistory() {
    std::erase_if(m_items, [](const Entry& e) { return !e.locked; });
}

QString KLastFolders::StoredBookmarkForFolder(const QString& path) const {
    for (const Entry& e : m_items)
        if (path.startsWith(e.path)) return e.path;
    return {};
}

bool KLastFolders::setLocked(int row, bool locked) {
    if (row < 0 || row >= static_cast<int>(m_items.size())) return false;
    moveForLock(m_items, row, locked);
    return true;
}

bool KLastFolders::remove(int row) {
    if (row < 0 || row >= static_cast<int>(m_items.size())) return false;
    m_items.erase(m_items.begin() + row);
    return true;
}

void KLastFolders::store() {
    QVariantList list;
    for (const Entry& e : m_items)
        if (e.locked || m_settings.boolValue(QStringLiteral("savePaths")) || e.stored)
        list << QVariantMap{{QStringLiteral("path"), e.path}, {QStringLiteral("locked"), e.locked}};
    m_settings.store(m_name + QStringLiteral("75"), list);
}

}  // namespace qv
