#pragma once
// The merged tree as the view sees it: a model over the controller's live
// KItem tree. Rows are the shown children of each node (the view filter's
// cache), an index points at its node, and nothing is copied: the model
// keeps only a table from folder nodes to their row, rebuilt on demand.

#include <QAbstractItemModel>

#include <cstdint>
#include <unordered_map>

namespace qv {

class KItem;
class QuorvaneModule;

class ComparisonModel final : public QAbstractItemModel {
    Q_OBJECT
public:
    // The fixed columns, then a left and a right column for each optional
    // value (shown when the user switches it on).
    enum Column : int {
        LeftName, LeftSize, LeftDate, State, RightName, RightSize, RightDate,
        LeftCreated, RightCreated, LeftOpened, RightOpened, LeftKind, RightKind,
        LeftTags, RightTags, LeftDigest, RightDigest,
        ColumnCount
    };
    static constexpr int kFirstOptional = LeftCreated;
    enum Role : int {
        StateRole = Qt::UserRole + 1,   // the comparison state (int)
        ActionRole,                     // the marked action (int)
        IgnoredRole,                    // the row is left out of synchronisation (bool)
    };

    explicit ComparisonModel(QuorvaneModule& module, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    void sort(int column, Qt::SortOrder order) override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    KItem* itemAt(const QModelIndex& index) const;
    // The index of a node the view shows (column 0), or an invalid one.
    QModelIndex indexOf(KItem* item) const;
    // The engine's sort column for a view column.
    static int sortColumnFor(int column);
    // The optional column bit (OptionalColumn) a view column shows, 0 for a fixed one.
    static std::uint32_t optionalBitOf(int column);

    // Shows no rows from now on: the tree and the controller are about to go.
    void detach();

    // Around a change of the rows' order or of which rows show (a re-sort,
    // another filter): rows are laid out again, selection and expanded rows kept.
    void beginRelayout();
    void endRelayout();
    // Values of existing rows changed (sizes, actions, states); the view repaints what it shows.
    void refreshValues();

private:
    void runStarted();
    void treeReplaced();
    const std::vector<KItem*>& shownChildren(KItem* node) const;
    KItem* nodeFor(const QModelIndex& parent) const;
    int rowOf(KItem* item) const;
    QVariant displayText(const KItem* item, int column) const;
    QVariant optionalText(const KItem* item, int column) const;
    QString accessibleText(const KItem* item, int column) const;
    QString toolTip(const KItem* item) const;

    QuorvaneModule& m_module;
    KItem* m_top = nullptr;   // the node whose shown children are the top rows; null while a scan runs
    KItem* m_fetching = nullptr;   // a folder being listed: its rows are hidden until they are announced
    // Row of each folder node within its parent's shown children; filled a folder list at a time.
    mutable std::unordered_map<const KItem*, int> m_folderRows;
    QModelIndexList m_relayoutIndexes;     // the persistent indexes during a relayout
    std::vector<KItem*> m_relayoutItems;   // and the nodes they pointed at
};

}  // namespace qv
