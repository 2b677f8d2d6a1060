#include "app/SnapshotOrder.h"

#include "engine/NameOrder.h"
#include "snapshot/KSnapshot.h"

#include <QStringList>

#include <algorithm>

namespace qv {
namespace {

template <class T>
int threeWay(const T& a, const T& b) { return a < b ? -1 : (b < a ? 1 : 0); }

// A missing value sorts after every present one.
int missingLast(bool hasA, bool hasB, int whenBoth) { return hasA != hasB ? (hasA ? -1 : 1) : (hasA ? whenBoth : 0); }

}  // namespace

SnapshotOrder::SnapshotOrder(const KSnapshot& snapshot, std::vector<QString> kinds)
    : m_snapshot(snapshot), m_kinds(std::move(kinds)) {}

QString SnapshotOrder::kindOf(const KSnapURL& entry) const {
    if (entry.utiIndex < 0) return {};
    const auto i = std::size_t(entry.utiIndex);
    if (i < m_kinds.size()) return m_kinds[i];
    return i < m_snapshot.types().size() ? QString::fromStdString(m_snapshot.types()[i]) : QString();
}

QString SnapshotOrder::tagsText(const KSnapURL& entry) {
    if (!entry.iTags) return {};
    QStringList tags;
    for (const std::string& tag : *entry.iTags) tags << QString::fromStdString(tag);
    tags.sort(Qt::CaseInsensitive);
    return tags.join(QStringLiteral(", "));
}

int SnapshotOrder::compare(const KSnapURL& a, const KSnapURL& b, int key) const {
    constexpr auto none = kNoRecordedDate;
    switch (key) {
        case kSnapSortName: return compareNamesStrict(a.iName, b.iName);
        case kSnapSortSize: return threeWay(a.iDataSize, b.iDataSize);
        case kSnapSortCreated: return missingLast(a.iCreDate != none, b.iCreDate != none, threeWay(a.iCreDate, b.iCreDate));
        case kSnapSortModified: return missingLast(a.iModDate != none, b.iModDate != none, threeWay(a.iModDate, b.iModDate));
        case kSnapSortKind: {
            const QString ka = kindOf(a), kb = kindOf(b);
            return missingLast(!ka.isEmpty(), !kb.isEmpty(), ka.compare(kb, Qt::CaseInsensitive));
        }
        case kSnapSortTags:
            return missingLast(a.iTags != nullptr, b.iTags != nullptr,
                               tagsText(a).compare(tagsText(b), Qt::CaseInsensitive));
        case kSnapSortMD5: return missingLast(a.hasMD5, b.hasMD5, threeWay(a.iMD5, b.iMD5));
        default: return 0;
    }
}

void SnapshotOrder::SortBy(KSnapURL& entry, int key, bool foldersOnTop, bool ascending) const {
    for (KSnapURL* child : entry.iChildren)
        if (child->iFolder && !child->iChildren.empty()) SortBy(*child, key, foldersOnTop, ascending);
    std::stable_sort(entry.iChildren.begin(), entry.iChildren.end(), [&](const KSnapURL* a, const KSnapURL* b) {
        if (foldersOnTop && a->iFolder != b->iFolder) return a->iFolder;
        int c = compare(*a, *b, key);
        if (c == 0 && key != kSnapSortName) c = compareNamesStrict(a->iName, b->iName);
        return ascending ? c < 0 : c > 0;
    });
}

}  // namespace qv
