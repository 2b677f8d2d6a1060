#pragma once
// The window's answer to the engine's questions: a message box over the
// window, with the buttons in the order asked (the first is the default) and
// the "do not show again" box where one is offered. Safe to call from a
// worker: the worker waits while the main thread asks.

#include "engine/UserPrompt.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace qv {

class DialogPrompt final : public QObject, public UserPrompt {
    Q_OBJECT
public:
    // Lives on the thread that makes it (the main thread); `window` is the dialogs' parent.
    explicit DialogPrompt(QWidget* window) : m_window(window) {}

    bool showsUI() const override { return true; }
    Answer ask(const Question& question) override;
    void inform(const QString& message, const QString& details = {}) override;

private:
    Answer askHere(const Question& question);

    QPointer<QWidget> m_window;
};

}  // namespace qv
