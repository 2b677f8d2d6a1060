#pragma once
// What the user compared: the pair histories ("folderHist", "fileHist") and
// the single-path lists (KLastFolders), each stored in the settings. Locked
// entries stay at the top and survive trimming and clearing.

#include <QString>
#include <QVariantList>

#include <algorithm>
#include <vector>

namespace qv {

class Settings;

struct HistoryPair {
    QString l, r;
    bool locked = false;
};

class FolderHistory {
public:
    // The pair list of folder comparisons (true) or file comparisons.
    FolderHistory(Settings& settings, bool folders);

    std::vector<HistoryPair> pairs() const;
    // Records a pair unless it is there already (either order, any letter case);
    // past "fHistoryLimit" + 1 entries the oldest unlocked one goes.
    void StoreFolderHistory(const QString& left, const QString& right);
    // Keeps only the locked pairs.
    void ClearFolderHistory();
    // Locks or unlocks the entry at `row`, moving it to the edge of its group.
    bool setLocked(int row, bool locked);
    bool remove(int row);
    // Stores `pairs` as the whole list (an empty one removes the key).
    void store(const std::vector<HistoryPair>& pairs);

    const QString& key() const { return m_key; }

private:

    Settings& m_settings;
    QString m_key;
};

// A list of single paths (the path fields' own menus), oldest first.
class KLastFolders {
public:
    struct Entry {
        QString path;
        bool locked = false;
        bool stored = false;   // read from the settings, not added in this run
    };
    // `name` is "lastFolders" or "lastFiles"; the list is stored under the name
    // followed by "75". With "savePaths" off, paths added in this run are not
    // stored unless locked; what was stored before stays.
    KLastFolders(Settings& settings, const QString& name);

    const std::vector<Entry>& items() const { return m_items; }
    void AddFolder(const QString& path, bool locked = false);
    void ClearHistory();
    // The first entry whose path is a prefix of `path`, or "".
    QString StoredBookmarkForFolder(const QString& path) const;
    bool setLocked(int row, bool locked);
    bool remove(int row);
    void store();

private:
    Settings& m_settings;
    QString m_name;
    std::vector<Entry> m_items;
};

// Moves an entry when it is locked or unlocked: locked entries come first.
template <class T>
void moveForLock(std::vector<T>& items, int row, bool locked) {
    int k = 0;
    while (k < static_cast<int>(items.size()) && items[static_cast<std::size_t>(k)].locked) ++k;
    const int target = !locked && k > 0 ? k - 1 : k;
    if (target != row && target < static_cast<int>(items.size()))
        std::swap(items[static_cast<std::size_t>(row)], items[static_cast<std::size_t>(target)]);
    items[static_cast<std::size_t>(target < static_cast<int>(items.size()) ? target : row)].locked = locked;
}

}  // namespace qv
