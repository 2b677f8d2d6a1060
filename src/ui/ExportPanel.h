#pragma once
// The options of an export, shown before the file is chosen: what to write
// (the rows shown or every item), the destination and its delimiter, and,
// behind "Advanced", the grouping of sizes, the prefix, the indent and the
// quotes. Every control edits its setting at once.

#include <QDialog>

#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace qv {

class Settings;

class ExportPanel final : public QDialog {
    Q_OBJECT
public:
    ExportPanel(Settings& settings, const std::vector<int>& columnIds, QWidget* parent = nullptr);

    QLineEdit& delimiterField() const { return *m_delimiter; }
    QComboBox& destinationMenu() const { return *m_destination; }
    QPushButton& exportButton() const { return *m_export; }
    void setAdvancedShown(bool shown);

private:
    // The controls read again from the settings; the delimiter field too,
    // unless the user is typing into it.
    enum DelimiterField { ShowStoredDelimiter, KeepDelimiterField };
    void reload(DelimiterField field = ShowStoredDelimiter);
    void delimiterEdited(const QString& text);

    Settings& m_settings;
    QRadioButton* m_shown;
    QRadioButton* m_all;
    QComboBox* m_destination;
    QLineEdit* m_delimiter;
    QCheckBox* m_tab;
    QCheckBox* m_advanced;
    QWidget* m_advancedView;
    QLineEdit* m_thousands;
    QCheckBox* m_noGrouping;
    QCheckBox* m_inBytes;
    QCheckBox* m_prefix;
    QLineEdit* m_prefixChar;
    QSpinBox* m_indent;
    QCheckBox* m_quotes;
    QPushButton* m_export;
};

}  // namespace qv
