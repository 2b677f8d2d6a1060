#pragma once
// One comparison window as the application keeps it: an identifier of its
// own (a new UUID per document), its number for scripts (1 for the first of
// the process) and the window with its controller. The document goes when
// its window closes. A script may run it without its window (ShowUI NO):
// the window stays hidden and every question takes its default answer.

#include "scripting/ScriptableComparison.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

namespace qv {

class ComparisonWindow;
class Settings;
class SwitchablePrompt;
class UserPrompt;

class KQVDocument final : public QObject, public ScriptableComparison {
    Q_OBJECT
public:
    static constexpr const char* kType = "QVDocument";
    // How long a window closed by a script stays listed, hidden, before it closes.
    static constexpr int kScriptCloseDelayMs = 3000;

    // `prompt`: answers the window's questions (null: dialogs over the window).
    explicit KQVDocument(Settings& settings, std::unique_ptr<UserPrompt> prompt = nullptr, QObject* parent = nullptr);
    ~KQVDocument() override;

    const QString& uuid() const { return m_uuid; }
    // Null once the window has gone.
    ComparisonWindow* window() const { return m_window; }
    // Opened from a row of another window (its layout is not the one kept at quit).
    bool openedByDoubleClick = false;

    // ScriptableComparison.
    QuorvaneModule* controller() const override;
    void selectTab(int tab) override;
    void CloseAnyOpenAlerts() override;

signals:
    // The window is closing and can still be read.
    void closing(KQVDocument* document);
    // The window has gone; the document goes next.
    void closed(KQVDocument* document);

protected:
    void applyShowUI(bool show) override;
    void hideAndCloseLater() override;

private:
    QString m_uuid;
    QPointer<ComparisonWindow> m_window;
    SwitchablePrompt* m_prompt;   // owned by the window
};

}  // namespace qv
