#pragma once
// The Preferences: a page per group of settings, each control bound to its
// registered key and written at once, a reset per page, and a note that the
// comparison options take effect from the next comparison.

#include <QDialog>

#include <functional>
#include <vector>

class QTabWidget;

namespace qv {

class Settings;
struct PreferenceControl;
struct PreferencePage;

class PreferencesDialog final : public QDialog {
    Q_OBJECT
public:
    explicit PreferencesDialog(Settings& settings, QWidget* parent = nullptr);

    // Shows the page with this title key.
    void showPage(const char* titleKey);
    // Puts every setting of the page shown back to its registered default.
    void resetCurrentPage();
    // The control (a check box, a spin box, a field, a combo box or a button) that edits a key.
    QWidget* controlFor(const QString& key) const;

signals:
    // A setting was written; windows read their settings again.
    void settingsChanged();

private:
    QWidget* buildPage(const PreferencePage& page);
    QWidget* buildControl(const PreferenceControl& control);
    void store(const QString& key, const QVariant& value);
    void reloadControls();

    Settings& m_settings;
    QTabWidget* m_pages;
    std::vector<std::pair<QString, QWidget*>> m_controls;
    std::vector<std::function<void()>> m_reloaders;   // each control reads its key again
};

}  // namespace qv
