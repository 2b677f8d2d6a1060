#pragma once
// The column header of the file view (the hex view's "offset 0 1 2 3 …"):
// written in the view's font from where the lines' text starts, and moved
// with the lines when they are scrolled sideways.

#include <QHeaderView>

namespace qv {

class KFileTableView;

class FileHeaderView final : public QHeaderView {
    Q_OBJECT
public:
    explicit FileHeaderView(KFileTableView& view);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;

private:
    KFileTableView& m_view;
};

}  // namespace qv
