#include "ui/SnapshotTreeModel.h"

#include "app/SnapshotOrder.h"
#include "base/Messages.h"
#include "snapshot/KSnapshot.h"
#include "ui/Formatting.h"
#include "ui/StateAppearance.h"

#include <QApplication>
#include <QPalette>

namespace qv {

void SnapshotTreeModel::setSnapshot(const KSnapshot* snapshot, const SnapshotOrder* order) {
    beginResetModel();
    m_snapshot = snapshot;
    m_order = order;
    m_rows.clear();
    endResetModel();
}

void SnapshotTreeModel::reorder(const std::function<void()>& sort) {
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<const KSnapURL*> entries;
    for (const QModelIndex& i : before) entries.push_back(entryAt(i));
    sort();
    m_rows.clear();
    QModelIndexList after;
    for (std::size_t k = 0; k < entries.size(); ++k)
        after << createIndex(rowOf(entries[k]), before[qsizetype(k)].column(), const_cast<KSnapURL*>(entries[k]));
    changePersistentIndexList(before, after);
    emit layoutChanged();
}

const KSnapURL* SnapshotTreeModel::entryAt(const QModelIndex& index) const {
    return index.isValid() ? static_cast<const KSnapURL*>(index.internalPointer()) : nullptr;
}

const KSnapURL* SnapshotTreeModel::entryFor(const QModelIndex& parent) const {
    if (!m_snapshot) return nullptr;
    return parent.isValid() ? entryAt(parent) : m_snapshot->iSnapshot();
}

int SnapshotTreeModel::rowOf(const KSnapURL* entry) const {
    if (!entry || !entry->parent) return 0;
    if (const auto it = m_rows.find(entry); it != m_rows.end()) return it->second;
    const auto& siblings = entry->parent->iChildren;
    for (std::size_t i = 0; i < siblings.size(); ++i) m_rows[siblings[i]] = int(i);
    return m_rows[entry];
}

QModelIndex SnapshotTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const KSnapURL* folder = entryFor(parent);
    if (!folder || row < 0 || row >= int(folder->iChildren.size()) || column < 0 || column >= kColumns) return {};
    return createIndex(row, column, folder->iChildren[std::size_t(row)]);
}

QModelIndex SnapshotTreeModel::parent(const QModelIndex& child) const {
    const KSnapURL* entry = entryAt(child);
    if (!entry || !entry->parent || entry->parent == m_snapshot->iSnapshot()) return {};
    return createIndex(rowOf(entry->parent), 0, entry->parent);
}

int SnapshotTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    const KSnapURL* folder = entryFor(parent);
    return folder ? int(folder->iChildren.size()) : 0;
}

int SnapshotTreeModel::columnCount(const QModelIndex&) const { return kColumns; }

bool SnapshotTreeModel::hasChildren(const QModelIndex& parent) const {
    const KSnapURL* folder = entryFor(parent);
    return folder && (!parent.isValid() || parent.column() == 0) && !folder->iChildren.empty();
}

QString SnapshotTreeModel::pathOf(const KSnapURL* entry) const {
    if (!entry || !m_snapshot) return {};
    std::vector<std::string_view> names;
    for (const KSnapURL* e = entry; e && e != m_snapshot->iSnapshot(); e = e->parent) names.push_back(e->iName);
    QString path = QString::fromStdString(m_snapshot->recordedPath());
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        path += QLatin1Char('/') + QString::fromUtf8(it->data(), qsizetype(it->size()));
    return path;
}

QString SnapshotTreeModel::text(const KSnapURL& e, int column) const {
    switch (column + 1) {
        case kSnapSortName: return QString::fromUtf8(e.iName.data(), qsizetype(e.iName.size()));
        case kSnapSortSize: return formatSize(std::int64_t(e.iDataSize));
        case kSnapSortCreated: return e.iCreDate == kNoRecordedDate ? QString() : formatDate(e.iCreDate);
        case kSnapSortModified: return e.iModDate == kNoRecordedDate ? QString() : formatDate(e.iModDate);
        case kSnapSortKind: return m_order ? m_order->kindOf(e) : QString();
        case kSnapSortTags: return SnapshotOrder::tagsText(e);
        case kSnapSortMD5: return e.hasMD5 ? QString::fromStdString(e.md5Hex()) : QString();
        default: return {};
    }
}

QVariant SnapshotTreeModel::data(const QModelIndex& index, int role) const {
    const KSnapURL* e = entryAt(index);
    if (!e) return {};
    switch (role) {
        case Qt::DisplayRole: return text(*e, index.column());
        case Qt::AccessibleTextRole:
            if (index.column() == 0)
                return Messages::format(e->iFolder ? "snapA11yFolder" : "snapA11yFile", text(*e, 0));
            return text(*e, index.column());
        case Qt::DecorationRole:
            if (index.column() == 0) return entryIcon(e->iFolder, e->iAlias);
            return {};
        case Qt::ForegroundRole:
            if (e->iHidden) return QApplication::palette().color(QPalette::PlaceholderText);
            return {};
        case Qt::TextAlignmentRole:
            if (index.column() == kSnapSortSize - 1) return int(Qt::AlignRight | Qt::AlignVCenter);
            return {};
        default: return {};
    }
}

QVariant SnapshotTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const keys[] = {"NameC", "size", "CreatedC", "ModifiedC", "KindC", "TagsC", "MD5"};
    return section >= 0 && section < kColumns ? Messages::text(keys[section]) : QVariant();
}

}  // namespace qv
