#pragma once
// The questions of a window a script may run without its user interface:
// while the window is shown they go to its dialogs, while it runs hidden
// each takes its default answer (and nothing is shown).

#include "app/HeadlessPrompt.h"
#include "engine/UserPrompt.h"

#include <atomic>
#include <memory>

namespace qv {

class SwitchablePrompt final : public UserPrompt {
public:
    // `shown` answers while the window shows its user interface; it may come later (setShownPrompt).
    explicit SwitchablePrompt(std::unique_ptr<UserPrompt> shown = nullptr) : m_shown(std::move(shown)) {}

    void setShownPrompt(std::unique_ptr<UserPrompt> shown) { m_shown = std::move(shown); }
    bool hasShownPrompt() const { return m_shown != nullptr; }
    void setShowsUI(bool shows) { m_showsUI = shows; }

    bool showsUI() const override { return m_showsUI && m_shown && m_shown->showsUI(); }
    Answer ask(const Question& question) override { return current().ask(question); }
    void inform(const QString& message, const QString& details = {}) override { current().inform(message, details); }

private:
    UserPrompt& current() { return m_showsUI && m_shown ? *m_shown : static_cast<UserPrompt&>(m_headless); }

    std::unique_ptr<UserPrompt> m_shown;
    HeadlessPrompt m_headless;
    std::atomic<bool> m_showsUI{true};   // workers ask while the main thread may switch
};

}  // namespace qv
