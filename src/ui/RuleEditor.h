#pragma once
// The filter rules of a window: a table of file rules and one of folder
// rules, each showing its list of rules to leave out or its list of rules
// to compare exclusively, with the list's switch. Edits are stored at once;
// the editor closes only when the rules may stand.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QTableView;
class QToolButton;

namespace qv {

class QuorvaneModule;
class RuleListModel;

class RuleEditor final : public QDialog {
    Q_OBJECT
public:
    explicit RuleEditor(QuorvaneModule& module, QWidget* parent = nullptr);

    RuleListModel& model(bool files) const { return *(files ? m_files.model : m_folders.model); }
    QTableView& table(bool files) const { return *(files ? m_files.table : m_folders.table); }
    // Shows a table's exclude list (true) or its compare-only list.
    void showExcludeList(bool files, bool exclude);
    void addRule(bool files);
    void removeSelectedRules(bool files);

    // Closes only when the rules may stand; else says why and shows the rules at fault.
    void done(int result) override;

private:
    struct Panel {
        RuleListModel* model = nullptr;
        QTableView* table = nullptr;
        QComboBox* mode = nullptr;
        QCheckBox* enabled = nullptr;
        QToolButton* remove = nullptr;
    };
    QWidget* buildPanel(Panel& panel, bool files);
    Panel& panel(bool files) { return files ? m_files : m_folders; }
    void refreshSwitch(bool files);
    void showFindings();

    QuorvaneModule& m_module;
    Panel m_files, m_folders;
};

}  // namespace qv
