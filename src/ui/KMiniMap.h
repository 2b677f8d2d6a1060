#pragma once
// The overview strip beside the file view: every change of the whole
// comparison as a mark at its place, the part in sight as a frame, and a
// click that jumps there.

#include <QWidget>

#include <vector>

namespace qv {

class KMiniMap final : public QWidget {
    Q_OBJECT
public:
    struct Mark {
        double top = 0, height = 0;   // fractions of the whole
        bool bothSides = true;        // a change with lines on both sides, else lines on one side only
    };

    explicit KMiniMap(QWidget* parent = nullptr);

    void setMarks(std::vector<Mark> marks);
    void clear() { setMarks({}); }
    const std::vector<Mark>& marks() const { return m_marks; }
    void setVisibleSpan(double top, double height);
    void setColors(const QColor& changed, const QColor& added);

    QSize sizeHint() const override { return {18, 100}; }

signals:
    // A click or drag at a fraction of the whole.
    void jumpRequested(double fraction);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    double fractionAt(int y) const;

    std::vector<Mark> m_marks;
    double m_visibleTop = 0, m_visibleHeight = 1;
    QColor m_changed, m_added;
};

}  // namespace qv
