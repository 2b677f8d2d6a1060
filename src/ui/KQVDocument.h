#pragma once
// One comparison as the application keeps it: an identifier of its own (a
// new UUID per document), its number for scripts (1 for the first of the
// process), its controller and, once it is to be seen, its window. A script
// may run it without a window (ShowUI NO): the controller compares, plans
// and executes alone and every question takes its default answer; the
// window is made only when the document is shown. The document goes when
// its window closes, or when it is closed without ever having one.

#include "scripting/ScriptableComparison.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace qv {

class ComparisonWindow;
class QuorvaneModule;
class Settings;
class SwitchablePrompt;
class UserPrompt;

class KQVDocument final : public QObject, public ScriptableComparison {
    Q_OBJECT
public:
    static constexpr const char* kType = "QVDocument";
    // How long a window closed by a script stays listed, hidden, before it closes.
    static constexpr int kScriptCloseDelayMs = 3000;

    // `prompt`: answers the window's questions (null: dialogs over the window once it is made).
    explicit KQVDocument(Settings& settings, std::unique_ptr<UserPrompt> prompt = nullptr, QObject* parent = nullptr);
    ~KQVDocument() override;

    const QString& uuid() const { return m_uuid; }
    // Null until the window is made, and once it has gone.
    ComparisonWindow* window() const { return m_window; }
    // The window, made now if there is none yet (not shown).
    ComparisonWindow* makeWindow();
    // Makes the window if needed, shows it and brings it forward.
    void showWindow();
    // Closes the window, or the document itself when it has none.
    void close();
    // Opened from a row of another window (its layout is not the one kept at quit).
    bool openedByDoubleClick = false;

    // ScriptableComparison.
    QuorvaneModule* controller() const override;
    void selectTab(int tab) override;
    void CloseAnyOpenAlerts() override;

signals:
    // The window has just been made, before it is first shown.
    void windowMade(KQVDocument* document);
    // The document is closing and can still be read.
    void closing(KQVDocument* document);
    // The window has gone (or there was none); the document goes next.
    void closed(KQVDocument* document);

protected:
    void applyShowUI(bool show) override;
    void hideAndCloseLater() override;

private:
    Settings& m_settings;
    QString m_uuid;
    // Declared in this order: the controller asks through the prompt until it has gone.
    std::unique_ptr<SwitchablePrompt> m_prompt;
    std::unique_ptr<QuorvaneModule> m_module;
    QPointer<ComparisonWindow> m_window;
    bool m_closed = false;
};

}  // namespace qv
