#include "ui/RuleEditor.h"

#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "ui/RuleListModel.h"
#include "ui/RuleRowDelegate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {

RuleEditor::RuleEditor(QuorvaneModule& module, QWidget* parent) : QDialog(parent), m_module(module) {
    setWindowTitle(Messages::text("rulesTitle"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildPanel(m_files, true), 1);
    layout->addWidget(buildPanel(m_folders, false), 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(Messages::text("close"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(760, 560);
}

QWidget* RuleEditor::buildPanel(Panel& p, bool files) {
    auto* box = new QGroupBox(Messages::text(files ? "rulesFiles" : "rulesFolders"), this);
    p.model = new RuleListModel(m_module.iExcludeRules(), files, [this] { m_module.SaveRules(); }, this);
    p.table = new QTableView(box);
    p.table->setModel(p.model);
    p.table->setItemDelegate(new RuleRowDelegate(p.table));
    p.table->setSelectionBehavior(QAbstractItemView::SelectRows);
    p.table->setEditTriggers(QAbstractItemView::AllEditTriggers);
    p.table->verticalHeader()->hide();
    p.table->horizontalHeader()->setSectionResizeMode(RuleListModel::Pattern, QHeaderView::Stretch);
    p.table->horizontalHeader()->setSectionResizeMode(RuleListModel::CaseSensitive, QHeaderView::ResizeToContents);
    p.table->horizontalHeader()->resizeSection(RuleListModel::Kind, p.table->fontMetrics().horizontalAdvance(
                                                                        RuleListModel::kindName(KRuleMatchRegex)) + 48);
    p.table->horizontalHeader()->setSectionResizeMode(RuleListModel::Finding, QHeaderView::Stretch);
    p.table->setAccessibleName(box->title());
    p.mode = new QComboBox(box);
    p.mode->addItem(Messages::text(files ? "rulesExcludeFiles" : "rulesExcludeFolders"));
    p.mode->addItem(Messages::text(files ? "rulesOnlyFiles" : "rulesOnlyFolders"));
    p.mode->setAccessibleName(Messages::text("rulesWhichList"));
    p.enabled = new QCheckBox(Messages::text("rulesListOn"), box);
    auto* add = new QToolButton(box);
    add->setText(QStringLiteral("+"));
    add->setToolTip(Messages::text("rulesAdd"));
    add->setAccessibleName(Messages::text("rulesAdd"));
    p.remove = new QToolButton(box);
    p.remove->setText(QStringLiteral("−"));
    p.remove->setToolTip(Messages::text("rulesRemove"));
    p.remove->setAccessibleName(Messages::text("rulesRemove"));
    p.remove->setEnabled(false);

    auto* top = new QHBoxLayout;
    top->addWidget(p.mode);
    top->addWidget(p.enabled);
    top->addStretch(1);
    top->addWidget(add);
    top->addWidget(p.remove);
    auto* layout = new QVBoxLayout(box);
    layout->addLayout(top);
    layout->addWidget(p.table, 1);

    connect(p.mode, &QComboBox::currentIndexChanged, this, [this, files](int index) { showExcludeList(files, index == 0); });
    connect(p.enabled, &QCheckBox::toggled, this, [this, files](bool on) {
        m_module.iExcludeRules().setSwitch(panel(files).model->list(), on);
        m_module.SaveRules();
    });
    connect(add, &QToolButton::clicked, this, [this, files] { addRule(files); });
    connect(p.remove, &QToolButton::clicked, this, [this, files] { removeSelectedRules(files); });
    connect(p.table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this, files] { panel(files).remove->setEnabled(panel(files).table->selectionModel()->hasSelection()); });
    connect(p.model, &QAbstractItemModel::rowsInserted, this, [this, files] { refreshSwitch(files); });
    connect(p.model, &QAbstractItemModel::rowsRemoved, this, [this, files] { refreshSwitch(files); });
    refreshSwitch(files);
    return box;
}

void RuleEditor::refreshSwitch(bool files) {
    Panel& p = panel(files);
    const QSignalBlocker quiet(p.enabled);
    p.enabled->setChecked(m_module.iExcludeRules().switchOn(p.model->list()));
}

void RuleEditor::showExcludeList(bool files, bool exclude) {
    Panel& p = panel(files);
    if (p.model->showsExcludeList() != exclude) p.model->showExcludeList(exclude);
    {
        const QSignalBlocker quiet(p.mode);
        p.mode->setCurrentIndex(exclude ? 0 : 1);
    }
    p.remove->setEnabled(false);
    refreshSwitch(files);
}

void RuleEditor::addRule(bool files) {
    Panel& p = panel(files);
    const int row = p.model->addRule();
    // A new rule is meant to count: its list is switched on.
    if (!m_module.iExcludeRules().switchOn(p.model->list())) p.enabled->setChecked(true);
    // Becoming current opens the pattern's field (every edit trigger is on).
    p.table->setCurrentIndex(p.model->index(row, RuleListModel::Pattern));
}

void RuleEditor::removeSelectedRules(bool files) {
    Panel& p = panel(files);
    std::vector<int> rows;
    for (const QModelIndex& index : p.table->selectionModel()->selectedRows()) rows.push_back(index.row());
    p.model->removeRows(rows);
}

void RuleEditor::showFindings() {
    for (bool files : {true, false}) {
        std::vector<int> exclude, only;
        for (const KExcludeRuleIssue& issue : m_module.iExcludeRules().validateAllRules())
            if (issue.isFileTable == files) (issue.tableMode == 1 ? exclude : only).push_back(issue.row);
        if (exclude.empty() && only.empty()) continue;
        showExcludeList(files, !exclude.empty());
        Panel& p = panel(files);
        p.table->clearSelection();
        for (int row : exclude.empty() ? only : exclude)
            p.table->selectionModel()->select(p.model->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        p.table->scrollTo(p.model->index((exclude.empty() ? only : exclude).front(), 0));
    }
}

void RuleEditor::done(int result) {
    // An edit still open in a field counts.
    for (QTableView* table : {m_files.table, m_folders.table})
        if (QWidget* editor = table->indexWidget(table->currentIndex())) emit table->itemDelegate()->commitData(editor);
    if (!m_module.PopupCanClose()) {
        showFindings();
        refreshSwitch(true);
        refreshSwitch(false);
        return;
    }
    QDialog::done(result);
}

}  // namespace qv
