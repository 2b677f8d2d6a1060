#pragma once
// A snapshot's recorded tree as the preview shows it: name, size, dates,
// kind, tags and digest of every entry, folders opening into their entries.

#include <QAbstractItemModel>

#include <functional>
#include <unordered_map>
#include <vector>

namespace qv {

class KSnapshot;
class SnapshotOrder;
struct KSnapURL;

class SnapshotTreeModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    // Column identifiers are the sort keys, 1 to 7; column c shows key c + 1.
    static constexpr int kColumns = 7;

    explicit SnapshotTreeModel(QObject* parent = nullptr) : QAbstractItemModel(parent) {}

    // Shows a snapshot (nullptr: nothing); both must outlive their use here.
    void setSnapshot(const KSnapshot* snapshot, const SnapshotOrder* order);
    // Sorts the entries again with `sort`, keeping the selection and the open rows.
    void reorder(const std::function<void()>& sort);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const KSnapURL* entryAt(const QModelIndex& index) const;
    // The recorded path of an entry, as the recording spelt it.
    QString pathOf(const KSnapURL* entry) const;

private:
    const KSnapURL* entryFor(const QModelIndex& parent) const;
    int rowOf(const KSnapURL* entry) const;
    QString text(const KSnapURL& entry, int column) const;

    const KSnapshot* m_snapshot = nullptr;
    const SnapshotOrder* m_order = nullptr;
    mutable std::unordered_map<const KSnapURL*, int> m_rows;   // filled a folder at a time
};

}  // namespace qv
