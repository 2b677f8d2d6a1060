#pragma once
// The search panel of the file view: the text, previous and next, match
// case, whole words and which column to search, kept in the settings
// ("seaIgnoreCase", "seaFullWord", "seaFindIn"). Escape hides it.

#include "filecompare/RowSearch.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace qv {

class Settings;

class FindBar final : public QWidget {
    Q_OBJECT
public:
    FindBar(Settings& settings, QWidget* parent = nullptr);

    QString text() const;
    RowSearchOptions options() const;
    // Shows the panel with the focus in its field.
    void open();
    // A word under the field: "not found", "wrapped around", or nothing.
    void setNote(const QString& note);

signals:
    void findRequested(bool forward);
    // The text or the options changed: the next find starts afresh.
    void searchChanged();
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Settings& m_settings;
    QLineEdit* m_field;
    QCheckBox* m_matchCase;
    QCheckBox* m_wholeWord;
    QComboBox* m_column;
    QLabel* m_note;
};

}  // namespace qv
