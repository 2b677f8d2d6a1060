#pragma once
// The order of a snapshot's entries in its preview: by name, size, dates,
// kind, tags or digest, folders optionally on top, either direction.

#include <QString>

#include <vector>

namespace qv {

class KSnapshot;
struct KSnapURL;

// Sort keys: 1 name, 2 size, 3 created, 4 modified, 5 kind, 6 tags, 7 digest.
enum SnapshotSortKey : int {
    kSnapSortName = 1, kSnapSortSize, kSnapSortCreated, kSnapSortModified, kSnapSortKind, kSnapSortTags, kSnapSortMD5
};

class SnapshotOrder {
public:
    // `kinds` names each content type of the snapshot (by its index) as the preview shows it.
    SnapshotOrder(const KSnapshot& snapshot, std::vector<QString> kinds);

    // Sorts the children of `entry` and of every folder below it, in place.
    // An entry lacking the value comes after one that has it; entries that
    // compare equal are ordered by name (case-insensitively).
    void SortBy(KSnapURL& entry, int key, bool foldersOnTop, bool ascending) const;

    // The kind of an entry ("" when none), and its tags in one line.
    QString kindOf(const KSnapURL& entry) const;
    static QString tagsText(const KSnapURL& entry);

private:
    int compare(const KSnapURL& a, const KSnapURL& b, int key) const;

    const KSnapshot& m_snapshot;
    std::vector<QString> m_kinds;
};

}  // namespace qv
