#include "ui/ExportPanel.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "export/ComparisonExport.h"
#include "export/ExportPanelRules.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace qv {
namespace {

QLineEdit* oneCharacterField(const QString& name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setAccessibleName(name);
    field->setMaximumWidth(60);
    return field;
}

}  // namespace

ExportPanel::ExportPanel(Settings& settings, const std::vector<int>& columnIds, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(Messages::text("expTitle"));
    auto* columns = new QLabel(ComparisonExport::columnListText(columnIds), this);
    columns->setWordWrap(true);
    columns->setAccessibleName(Messages::text("expColumns"));
    m_shown = new QRadioButton(Messages::text("expShownRows"), this);
    m_all = new QRadioButton(Messages::text("expAllItems"), this);
    auto* what = new QButtonGroup(this);
    what->addButton(m_shown);
    what->addButton(m_all);
    m_destination = new QComboBox(this);
    m_destination->addItem(Messages::text("expDestOther"), 0);
    m_destination->addItem(Messages::text("expDestSpreadsheet"), 1);
    m_destination->addItem(Messages::text("expDestCsv"), 2);
    m_destination->setAccessibleName(Messages::text("expDestination"));
    m_delimiter = oneCharacterField(Messages::text("expDelimiter"), this);
    m_tab = new QCheckBox(Messages::text("expTab"), this);
    m_advanced = new QCheckBox(Messages::text("expAdvanced"), this);
    m_advancedView = new QWidget(this);
    m_thousands = oneCharacterField(Messages::text("expThousands"), m_advancedView);
    m_noGrouping = new QCheckBox(Messages::text("prefNoGrouping"), m_advancedView);
    m_inBytes = new QCheckBox(Messages::text("prefExpSizeInBytes"), m_advancedView);
    m_prefix = new QCheckBox(Messages::text("prefExportPrefix"), m_advancedView);
    m_prefixChar = oneCharacterField(Messages::text("prefExportPrefixChar"), m_advancedView);
    m_indent = new QSpinBox(m_advancedView);
    m_indent->setRange(0, 24);
    m_indent->setAccessibleName(Messages::text("prefExportIndent"));
    m_quotes = new QCheckBox(Messages::text("prefExportQuotes"), m_advancedView);

    auto* form = new QFormLayout;
    form->addRow(Messages::text("expColumns"), columns);
    form->addRow(m_shown);
    form->addRow(m_all);
    form->addRow(Messages::text("expDestination"), m_destination);
    form->addRow(Messages::text("expDelimiter"), m_delimiter);
    form->addRow(m_tab);
    form->addRow(m_advanced);
    auto* advanced = new QFormLayout(m_advancedView);
    advanced->setContentsMargins(0, 0, 0, 0);
    advanced->addRow(Messages::text("expThousands"), m_thousands);
    advanced->addRow(m_noGrouping);
    advanced->addRow(m_inBytes);
    advanced->addRow(m_prefix);
    advanced->addRow(Messages::text("prefExportPrefixChar"), m_prefixChar);
    advanced->addRow(Messages::text("prefExportIndent"), m_indent);
    advanced->addRow(m_quotes);
    auto* buttons = new QDialogButtonBox(this);
    m_export = buttons->addButton(Messages::text("expExportBtn"), QDialogButtonBox::AcceptRole);
    buttons->addButton(Messages::text("cancel"), QDialogButtonBox::RejectRole);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_advancedView);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_advancedView->hide();

    const auto store = [this](const char* key, const QVariant& value) { m_settings.store(QString::fromLatin1(key), value); };
    connect(m_shown, &QRadioButton::toggled, this, [store](bool on) { store("exportAll", !on); });
    connect(m_destination, &QComboBox::activated, this, [this] {
        ExportPanelRules::OptimizedFor(m_settings, m_destination->currentData().toInt());
        reload();
    });
    connect(m_delimiter, &QLineEdit::textEdited, this, &ExportPanel::delimiterEdited);
    connect(m_tab, &QCheckBox::clicked, this, [this](bool on) {
        if (ExportPanelRules::setTabDelimiter(m_settings, on)) return reload();
        // No destination's delimiter to go back to: one is to be typed.
        m_delimiter->clear();
        reload(KeepDelimiterField);
    });
    connect(m_advanced, &QCheckBox::toggled, this, &ExportPanel::setAdvancedShown);
    connect(m_thousands, &QLineEdit::textEdited, this, [this, store](const QString& text) {
        bool cut = false;
        const QString one = ExportPanelRules::oneCharacter(text, &cut);
        if (cut) {
            QApplication::beep();
            m_thousands->setText(one);
        }
        store("thousandsDelimiter", one);
    });
    connect(m_noGrouping, &QCheckBox::clicked, this, [this](bool on) {
        ExportPanelRules::setNoGrouping(m_settings, on);
        reload();
    });
    connect(m_inBytes, &QCheckBox::clicked, this, [store](bool on) { store("expSizeInBytes", on); });
    connect(m_prefix, &QCheckBox::clicked, this, [store](bool on) { store("exportPrefix", on); });
    connect(m_prefixChar, &QLineEdit::textEdited, this, [this, store](const QString& text) {
        bool cut = false;
        const QString one = ExportPanelRules::oneCharacter(text, &cut);
        if (cut) {
            QApplication::beep();
            m_prefixChar->setText(one);
        }
        store("exportPrefixChar", one);
    });
    connect(m_indent, &QSpinBox::valueChanged, this, [store](int v) { store("exportIndent", QString::number(v)); });
    connect(m_quotes, &QCheckBox::clicked, this, [store](bool on) { store("exportQuotes", on); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    reload();
}

void ExportPanel::delimiterEdited(const QString& text) {
    bool cut = false;
    const QString one = ExportPanelRules::oneCharacter(text, &cut);
    if (cut) {
        QApplication::beep();
        m_delimiter->setText(one);
    }
    ExportPanelRules::setDelimiter(m_settings, one);
    // An emptied field stays empty while a new delimiter is typed.
    reload(KeepDelimiterField);
}

void ExportPanel::setAdvancedShown(bool shown) {
    {
        const QSignalBlocker quiet(m_advanced);
        m_advanced->setChecked(shown);
    }
    m_advancedView->setVisible(shown);
}

void ExportPanel::reload(DelimiterField field) {
    const Settings& s = m_settings;
    const QSignalBlocker a(m_shown), b(m_all), c(m_destination), d(m_indent);
    (s.boolValue(QStringLiteral("exportAll")) ? m_all : m_shown)->setChecked(true);
    m_destination->setCurrentIndex(std::max(0, m_destination->findData(int(s.intValue(QStringLiteral("optimizedFor"))))));
    const QString delimiter = s.stringValue(QStringLiteral("exportDelimiter"));
    if (field == ShowStoredDelimiter && m_delimiter->text() != delimiter)
        m_delimiter->setText(delimiter == QLatin1String("\t") ? QString() : delimiter);
    m_tab->setChecked(s.boolValue(QStringLiteral("tabDelimiter")));
    m_delimiter->setEnabled(!m_tab->isChecked());
    m_thousands->setText(s.stringValue(QStringLiteral("thousandsDelimiter")));
    m_noGrouping->setChecked(s.boolValue(QStringLiteral("noneThousandsDelimiter")));
    m_thousands->setEnabled(!m_noGrouping->isChecked());
    m_inBytes->setChecked(s.boolValue(QStringLiteral("expSizeInBytes")));
    m_prefix->setChecked(s.boolValue(QStringLiteral("exportPrefix")));
    m_prefixChar->setText(s.stringValue(QStringLiteral("exportPrefixChar")));
    m_indent->setValue(ExportOptions::indentFromSetting(s.stringValue(QStringLiteral("exportIndent"))));
    m_quotes->setChecked(s.boolValue(QStringLiteral("exportQuotes")));
    m_export->setEnabled(ExportPanelRules::canExport(s, m_delimiter->text()));
}

}  // namespace qv
