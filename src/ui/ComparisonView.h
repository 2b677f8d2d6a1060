#pragma once
// The merged tree on screen: a tree view over ComparisonModel with the action
// column, rows read whole by screen readers, and header clicks that ask the
// controller to sort.

#include <QTreeView>

#include <functional>
#include <string>
#include <vector>

namespace qv {

class ActionColumnDelegate;
class ComparisonModel;
class KItem;

class ComparisonView final : public QTreeView {
    Q_OBJECT
public:
    explicit ComparisonView(ComparisonModel& model, QWidget* parent = nullptr);

    ComparisonModel& comparisonModel() const { return m_model; }
    ActionColumnDelegate& actionDelegate() const { return *m_delegate; }
    KItem* currentItem() const;
    // The selected nodes, in the order the view shows them.
    std::vector<KItem*> selectedItems() const;
    // Opens every ancestor of a node, selects its row and scrolls to it.
    void reveal(KItem* item, bool forward);

    // Decides about items dragged onto a row's side (a null item: the side's
    // top folder); with `commit` the drop is made, else only judged.
    using DropHandler = std::function<bool(KItem* item, int side, const std::vector<std::string>& paths, bool commit)>;
    void setDropHandler(DropHandler handler) { m_dropHandler = std::move(handler); }

signals:
    // The context menu was asked for over a row's side (1 left, 2 right, 0 the state column).
    void contextMenuForSide(const QPoint& globalPos, int side);

protected:
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The row and side under a drop position; false over the state column.
    bool dropPlace(const QPoint& pos, KItem*& item, int& side) const;
    bool judgeDrop(QDropEvent* event, bool commit);

    ComparisonModel& m_model;
    DropHandler m_dropHandler;
    ActionColumnDelegate* m_delegate;
};

}  // namespace qv
