#pragma once
// A comparison as scripts see it: one open comparison document with a
// number of its own (1 for the first of the process, never reused), the
// choice whether it shows a window, its counts, and the comparison of two
// paths that answers once the run has ended. The window program's
// documents and the headless ones implement the few window-facing hooks.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>

namespace qv {

class QuorvaneModule;

class ScriptableComparison {
public:
    using Completion = std::function<void(bool)>;

    virtual ~ScriptableComparison() = default;

    // The next number of the process's counter: 1, 2, 3 …
    static int takeUniqueASID();

    int iUniqueASID() const { return m_uniqueASID; }
    bool iShowUI() const { return m_showUI; }
    // NO runs the comparison without windows, sheets or alerts: every question takes its default.
    void setIShowUI(bool show);

    // The controller of the comparison; null once the document has gone.
    virtual QuorvaneModule* controller() const = 0;
    // Shows the folder tab (0) or the file tab (1), when there is a window.
    virtual void selectTab(int /*tab*/) {}
    // Ends open sheets and alerts.
    virtual void CloseAnyOpenAlerts() {}
    // The close command: open sheets and alerts end, the window is hidden at
    // once and the document closes 3 seconds later. Until then it is still
    // listed, but no command reaches it any more.
    void closeFromScript();
    bool closing() const { return m_closing; }

    // Compares two paths (two folders, or two files on the file tab); `done`
    // gets YES when the run has ended, NO at once when it could not start or
    // when a later request took its place.
    void CompareItem1(const std::string& item1, const std::string& item2, Completion done);

    std::uint64_t Differences() const;
    std::uint64_t Actions() const;
    QStringList Errors() const;
    // What the comparison last did: "new", "comparing", "compared",
    // "planned", "executing", "executed", "cancelled" or "failed".
    QString runState() const;
    void setRunState(const QString& state) { m_runState = state; }
    std::string leftPath() const;
    std::string rightPath() const;

protected:
    explicit ScriptableComparison(int uniqueASID) : m_uniqueASID(uniqueASID) {}
    // Shows or hides the document's windows and switches its questions to
    // dialogs or to their defaults.
    virtual void applyShowUI(bool show) = 0;
    // Hides the window at once and closes the document 3 seconds later.
    virtual void hideAndCloseLater() = 0;

private:
    int m_uniqueASID;
    bool m_showUI = true;
    bool m_closing = false;
    QString m_runState = QStringLiteral("new");
};

}  // namespace qv
