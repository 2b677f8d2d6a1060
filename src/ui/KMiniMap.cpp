#include "ui/KMiniMap.h"

#include "base/Messages.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace qv {

KMiniMap::KMiniMap(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    setAccessibleName(Messages::text("a11yMiniMap"));
    setToolTip(Messages::text("miniMapTip"));
    setCursor(Qt::PointingHandCursor);
}

void KMiniMap::setMarks(std::vector<Mark> marks) {
    m_marks = std::move(marks);
    setAccessibleDescription(Messages::format("miniMapCount", int(m_marks.size())));
    update();
}

void KMiniMap::setVisibleSpan(double top, double height) {
    m_visibleTop = top;
    m_visibleHeight = height;
    update();
}

void KMiniMap::setColors(const QColor& changed, const QColor& added) {
    m_changed = changed;
    m_added = added;
    m_changed.setAlpha(255);
    m_added.setAlpha(255);
    update();
}

void KMiniMap::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), pal.color(QPalette::Base));
    const double h = height();
    // Every mark is at least a pixel high; a pixel row takes the colour of the last mark drawn there.
    for (const Mark& m : m_marks) {
        const int y = int(m.top * h);
        const int mh = std::max(2, int(m.height * h + 0.5));
        p.fillRect(QRect(2, y, width() - 4, mh), m.bothSides ? m_changed : m_added);
    }
    QColor frame = pal.color(QPalette::Text);
    frame.setAlphaF(0.55f);
    p.setPen(QPen(frame, 1));
    const int top = int(m_visibleTop * h);
    const int vh = std::max(4, int(m_visibleHeight * h));
    p.drawRect(QRect(0, top, width() - 1, std::min(vh, height() - top - 1)));
    p.setPen(pal.color(QPalette::Mid));
    p.drawLine(0, 0, 0, height());
}

double KMiniMap::fractionAt(int y) const { return std::clamp(double(y) / std::max(1, height()), 0.0, 1.0); }

void KMiniMap::mousePressEvent(QMouseEvent* event) { emit jumpRequested(fractionAt(int(event->position().y()))); }

void KMiniMap::mouseMoveEvent(QMouseEvent* event) {
    if (event->buttons() & Qt::LeftButton) emit jumpRequested(fractionAt(int(event->position().y())));
}

}  // namespace qv
