#pragma once
// The merged tree on screen: a tree view over ComparisonModel with the action
// column, rows read whole by screen readers, and header clicks that ask the
// controller to sort.

#include <QTreeView>

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

signals:
    // The context menu was asked for over a row's side (1 left, 2 right, 0 the state column).
    void contextMenuForSide(const QPoint& globalPos, int side);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    ComparisonModel& m_model;
    ActionColumnDelegate* m_delegate;
};

}  // namespace qv
