#pragma once
// The lines of the merged file, as the merge preview lists them: lines
// taken from a change stand on a tint.

#include <QAbstractListModel>
#include <QFont>

namespace qv {

class FileComparisonSession;

class MergePreviewModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role : int { FromChangeRole = Qt::UserRole + 1 };

    explicit MergePreviewModel(FileComparisonSession& session, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    void setFont(const QFont& font) { m_font = font; }

private:
    FileComparisonSession& m_session;
    QFont m_font;
};

}  // namespace qv
