#pragma once
// The rows of an execution as a table: the result, the action, the entry on
// each side and what happened. A model over the execution's own rows.

#include <QAbstractTableModel>
#include <QString>

#include <vector>

namespace qv {

struct KMergeItem;

class ExecutionRowsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column : int { Result, Action, Left, Right, Message, ColumnCount };

    // What a finished row came to, copied out of the worker's hands.
    struct RowResult {
        int status = -1;   // a MergeRowStatus
        int code = -1;     // a MergeResult
        QString message;
    };

    explicit ExecutionRowsModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    // The rows of a new execution. Only the fields a run never changes are
    // read from them; results arrive through setResult().
    void setRows(const std::vector<KMergeItem>& rows);
    // No rows any more: the execution they belong to is about to go.
    void clear();
    void setResult(std::size_t row, RowResult result);
    // A finished run lists failed rows first, then done ones, then those not run.
    void showByStatus(std::vector<std::size_t> order);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::size_t rowIndex(int shownRow) const;

    const std::vector<KMergeItem>* m_rows = nullptr;
    std::vector<RowResult> m_results;
    std::vector<std::size_t> m_order;   // empty: the execution order
};

}  // namespace qv
