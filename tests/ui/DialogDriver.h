#pragma once
// Answers the modal dialogs a test provokes, in order, as a user would: each
// step looks at the dialog in front and acts on it (a click, a choice). The
// clicks are posted, so a step never runs inside the dialog it opens next.

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>

namespace qv::test {

class DialogDriver {
public:
    // Returns true when it handled the dialog in front.
    using Step = std::function<bool(QWidget* modal)>;

    DialogDriver() {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
        m_timer.start(20);
    }

    DialogDriver& then(Step step) {
        m_steps.push_back(std::move(step));
        return *this;
    }
    bool done() const { return m_steps.empty(); }

    // Clicks, later, the button of the dialog whose text is `text`.
    static bool clickButton(QWidget* modal, const QString& text) {
        for (QAbstractButton* b : modal->findChildren<QAbstractButton*>()) {
            if (b->text() == text && b->isEnabled() && b->isVisible()) {
                QTimer::singleShot(0, b, &QAbstractButton::click);
                return true;
            }
        }
        return false;
    }

private:
    void tick() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || m_steps.empty() || modal == m_lastHandled) return;
        if (m_steps.front()(modal)) {
            m_lastHandled = modal;
            m_steps.pop_front();
            // A dialog may stay open after a step (a button that starts a run); the next step may act on it again.
            QTimer::singleShot(50, [this] { m_lastHandled = nullptr; });
        }
    }

    QTimer m_timer;
    std::deque<Step> m_steps;
    QWidget* m_lastHandled = nullptr;
};

}  // namespace qv::test
