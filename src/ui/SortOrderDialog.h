#pragma once
// The order of states the state column sorts by: six groups the user drags
// into the order wanted. Saving hands the order to the controller, which keeps it.

#include <QDialog>

#include <vector>

class QListWidget;

namespace qv {

class SortOrderDialog final : public QDialog {
    Q_OBJECT
public:
    SortOrderDialog(const std::vector<int>& currentOrder, QWidget* parent = nullptr);

    // The states in the order shown.
    std::vector<int> order() const;

private:
    QListWidget* m_list;
};

}  // namespace qv
