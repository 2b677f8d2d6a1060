#include "ui/MergePreviewModel.h"

#include "app/FileComparisonSession.h"
#include "base/Messages.h"

#include <QApplication>
#include <QPalette>

namespace qv {

MergePreviewModel::MergePreviewModel(FileComparisonSession& session, QObject* parent)
    : QAbstractListModel(parent), m_session(session) {
    connect(&session, &FileComparisonSession::mergeChanged, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int MergePreviewModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_session.iFileMergeMode()) return 0;
    return int(m_session.merger().iMergedContent().size());
}

QVariant MergePreviewModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto row = std::size_t(index.row());
    const bool fromChange = m_session.merger().iMergedLines()[row];
    switch (role) {
        case Qt::DisplayRole: return m_session.merger().iMergedContent()[qsizetype(row)];
        case Qt::FontRole: return m_font;
        case FromChangeRole: return fromChange;
        case Qt::BackgroundRole: {
            if (!fromChange) return {};
            const QPalette palette = QApplication::palette();
            QColor tint = palette.color(QPalette::Text);
            tint.setAlphaF(0.1f);
            return tint;
        }
        case Qt::AccessibleTextRole:
            return fromChange ? Messages::format("mergeA11yTaken", m_session.merger().iMergedContent()[qsizetype(row)])
                              : m_session.merger().iMergedContent()[qsizetype(row)];
        default: return {};
    }
}

}  // namespace qv
