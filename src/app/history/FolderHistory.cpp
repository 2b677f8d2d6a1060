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

// The lists are stored as plain strings, readable in the INI file: the
// paths (left, right, left, right … for pairs), and under KEY + "Locked"
// the 1-based numbers of the locked entries. Older versions stored a list
// of maps, which is still read.
namespace {

QString lockedKey(const QString& key) { return key + QStringLiteral("Locked"); }

bool isOldForm(const QVariant& stored) {
    const QVariantList list = stored.toList();
    return !list.isEmpty() && list.first().typeId() == QMetaType::QVariantMap;
}

std::vector<int> lockedRows(const Settings& settings, const QString& key) {
    std::vector<int> rows;
    for (const QString& n : settings.value(lockedKey(key)).toStringList()) rows.push_back(n.toInt() - 1);
    return rows;
}

// `keepEmpty`: an empty list stays stored (as ""), so that an older key is not read again.
template <class T>
void storeLists(Settings& settings, const QString& key, const QStringList& paths, const std::vector<T>& items,
                bool keepEmpty = false) {
    if (paths.isEmpty()) {
        if (keepEmpty) settings.store(key, QString());
        else settings.remove(key);
        settings.remove(lockedKey(key));
        return;
    }
    QStringList locked;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].locked) locked << QString::number(i + 1);
    settings.store(key, paths);
    if (locked.isEmpty()) settings.remove(lockedKey(key));
    else settings.store(lockedKey(key), locked);
}

}  // namespace

std::vector<HistoryPair> FolderHistory::pairs() const {
    std::vector<HistoryPair> out;
    const QVariant stored = m_settings.value(m_key);
    if (isOldForm(stored)) {
        for (const QVariant& v : stored.toList()) {
            const QVariantMap m = v.toMap();
            if (!m.contains(QStringLiteral("l"))) continue;
            out.push_back({m.value(QStringLiteral("l")).toString(), m.value(QStringLiteral("r")).toString(),
                           m.value(QStringLiteral("locked")).toBool()});
        }
        return out;
    }
    const QStringList paths = stored.toStringList();
    for (qsizetype i = 0; i + 1 < paths.size(); i += 2) out.push_back({paths[i], paths[i + 1], false});
    for (int row : lockedRows(m_settings, m_key))
        if (row >= 0 && row < static_cast<int>(out.size())) out[static_cast<std::size_t>(row)].locked = true;
    return out;
}

void FolderHistory::store(const std::vector<HistoryPair>& pairs) {
    QStringList paths;
    for (const HistoryPair& p : pairs) paths << p.l << p.r;
    storeLists(m_settings, m_key, paths, pairs);
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
    const QString key = name + QStringLiteral("75");
    const QVariant stored = settings.value(key);
    if (isOldForm(stored)) {
        for (const QVariant& v : stored.toList()) {
            const QVariantMap m = v.toMap();
            if (m.contains(QStringLiteral("path")))
                m_items.push_back({m.value(QStringLiteral("path")).toString(), m.value(QStringLiteral("locked")).toBool(), true});
        }
        return;
    }
    if (stored.isValid()) {
        for (const QString& path : stored.toStringList())
            if (!path.isEmpty()) m_items.push_back({path, false, true});
        for (int row : lockedRows(settings, key))
            if (row >= 0 && row < static_cast<int>(m_items.size())) m_items[static_cast<std::size_t>(row)].locked = true;
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
    // With "savePaths" off, only what was stored before and the locked entries are kept.
    const bool savePaths = m_settings.boolValue(QStringLiteral("savePaths"));
    std::vector<Entry> kept;
    for (const Entry& e : m_items)
        if (e.locked || savePaths || e.stored) kept.push_back(e);
    QStringList paths;
    for (const Entry& e : kept) paths << e.path;
    storeLists(m_settings, m_name + QStringLiteral("75"), paths, kept, true);
}

}  // namespace qv
