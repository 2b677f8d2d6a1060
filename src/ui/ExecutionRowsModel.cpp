#include "ui/ExecutionRowsModel.h"

#include "base/Messages.h"
#include "sync/KMerge.h"
#include "ui/StateAppearance.h"

#include <QApplication>
#include <QFile>
#include <QStyle>

namespace qv {
namespace {

QIcon resultIcon(const ExecutionRowsModel::RowResult& r) {
    QStyle* style = QApplication::style();
    if (r.status == kRowPending) return {};
    switch (r.code) {
    case kResultFailed: return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case kResultCancelled: return style->standardIcon(QStyle::SP_BrowserStop);
    default: return style->standardIcon(QStyle::SP_DialogApplyButton);
    }
}

QString resultWords(const ExecutionRowsModel::RowResult& r) {
    return r.status == kRowPending ? Messages::text("rowPending") : r.message;
}

}  // namespace

void ExecutionRowsModel::setRows(const std::vector<KMergeItem>& rows) {
    beginResetModel();
    m_rows = &rows;
    m_results.assign(rows.size(), RowResult{});
    m_order.clear();
    endResetModel();
}

void ExecutionRowsModel::clear() {
    beginResetModel();
    m_rows = nullptr;
    m_results.clear();
    m_order.clear();
    endResetModel();
}

std::size_t ExecutionRowsModel::rowIndex(int shownRow) const {
    return m_order.empty() ? static_cast<std::size_t>(shownRow) : m_order[static_cast<std::size_t>(shownRow)];
}

void ExecutionRowsModel::setResult(std::size_t row, RowResult result) {
    if (row >= m_results.size()) return;
    m_results[row] = std::move(result);
    int shown = static_cast<int>(row);
    if (!m_order.empty()) shown = static_cast<int>(std::find(m_order.begin(), m_order.end(), row) - m_order.begin());
    emit dataChanged(index(shown, 0), index(shown, ColumnCount - 1));
}

void ExecutionRowsModel::showByStatus(std::vector<std::size_t> order) {
    emit layoutAboutToBeChanged();
    m_order = std::move(order);
    emit layoutChanged();
}

int ExecutionRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_rows ? 0 : static_cast<int>(m_rows->size());
}

int ExecutionRowsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant ExecutionRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_rows) return {};
    const std::size_t i = rowIndex(index.row());
    const KMergeItem& row = (*m_rows)[i];
    const RowResult& result = m_results[i];
    if (role == Qt::DecorationRole && index.column() == Result) return resultIcon(result);
    if (role == Qt::ForegroundRole && index.column() == Message && result.status == kRowFailed)
        return QBrush(verdictColor(Verdict::Different, QApplication::palette()));
    if (role == Qt::AccessibleTextRole && index.column() == Result) return resultWords(result);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
    case Result: return role == Qt::ToolTipRole ? resultWords(result) : QVariant();
    case Action: return actionWords(row.action);
    case Left: return QFile::decodeName(row.iANameL.c_str());
    case Right: return QFile::decodeName(row.iANameR.c_str());
    case Message: return result.status == kRowPending ? QString() : result.message;
    default: return {};
    }
}

QVariant ExecutionRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)) return {};
    // The result column holds an icon: its title is only spoken.
    if (section == Result && role == Qt::DisplayRole) return QString();
    static const char* keys[ColumnCount] = {"colResult", "colAction", "colLeftName", "colRightName", "colMessage"};
    return Messages::text(keys[section]);
}

}  // namespace qv
