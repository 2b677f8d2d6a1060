#include "ui/PreferencesDialog.h"

#include "app/PreferencePages.h"
#include "base/Messages.h"
#include "base/Settings.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qv {
namespace {

QString colorText(const QColor& c) { return c.name(QColor::HexArgb); }

// A swatch of the colour on the button, with its value in words for screen readers.
void showColor(QPushButton* button, const QColor& color) {
    QPixmap swatch(28, 14);
    swatch.fill(color);
    button->setIcon(QIcon(swatch));
    button->setText(colorText(color));
}

}  // namespace

PreferencesDialog::PreferencesDialog(Settings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_pages(new QTabWidget(this)) {
    setWindowTitle(Messages::text("prefTitle"));
    m_pages->setAccessibleName(Messages::text("prefTitle"));
    for (const PreferencePage& page : PreferencePages::pages()) {
        auto* scroll = new QScrollArea(m_pages);
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidget(buildPage(page));
        m_pages->addTab(scroll, Messages::text(page.titleKey));
    }
    auto* note = new QLabel(Messages::text("prefNextRun"), this);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* reset = buttons->addButton(Messages::text("prefResetPage"), QDialogButtonBox::ResetRole);
    buttons->button(QDialogButtonBox::Close)->setText(Messages::text("close"));
    connect(reset, &QPushButton::clicked, this, &PreferencesDialog::resetCurrentPage);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addWidget(note);
    layout->addWidget(buttons);
    resize(560, 520);
}

QWidget* PreferencesDialog::buildPage(const PreferencePage& page) {
    auto* widget = new QWidget;
    auto* form = new QFormLayout(widget);
    for (const PreferenceControl& control : page.controls) {
        QWidget* editor = buildControl(control);
        m_controls.emplace_back(control.key, editor);
        if (control.kind == PreferenceKind::Check) {
            form->addRow(editor);
        } else {
            auto* label = new QLabel(Messages::text(control.labelKey), widget);
            label->setBuddy(editor);
            form->addRow(label, editor);
        }
    }
    return widget;
}

void PreferencesDialog::store(const QString& key, const QVariant& value) {
    m_settings.store(key, value);
    emit settingsChanged();
}

QWidget* PreferencesDialog::buildControl(const PreferenceControl& c) {
    const QString key = c.key;
    const QString label = Messages::text(c.labelKey);
    const RegisteredDefault* registered = Settings::registered(key);
    const bool storedAsText = registered && registered->type == SettingType::String;
    QWidget* editor = nullptr;
    switch (c.kind) {
        case PreferenceKind::Check: {
            auto* box = new QCheckBox(label);
            m_reloaders.push_back([this, box, key] {
                const QSignalBlocker quiet(box);
                box->setChecked(m_settings.boolValue(key));
            });
            connect(box, &QCheckBox::toggled, this, [this, key](bool on) { store(key, on); });
            editor = box;
            break;
        }
        case PreferenceKind::Number: {
            auto* spin = new QSpinBox;
            spin->setRange(c.minimum, c.maximum);
            m_reloaders.push_back([this, spin, key] {
                const QSignalBlocker quiet(spin);
                spin->setValue(int(m_settings.value(key).toString().toLongLong()));
            });
            connect(spin, &QSpinBox::valueChanged, this, [this, key, storedAsText](int v) {
                store(key, storedAsText ? QVariant(QString::number(v)) : QVariant(v));
            });
            editor = spin;
            break;
        }
        case PreferenceKind::Text:
        case PreferenceKind::Character: {
            auto* field = new QLineEdit;
            if (c.kind == PreferenceKind::Character) {
                field->setMaxLength(1);
                field->setMaximumWidth(60);
            }
            m_reloaders.push_back([this, field, key] {
                const QSignalBlocker quiet(field);
                field->setText(m_settings.stringValue(key));
            });
            connect(field, &QLineEdit::textEdited, this, [this, key](const QString& text) { store(key, text); });
            editor = field;
            break;
        }
        case PreferenceKind::Choice: {
            auto* combo = new QComboBox;
            for (const PreferenceChoice& choice : c.choices) combo->addItem(Messages::text(choice.labelKey), choice.value);
            m_reloaders.push_back([this, combo, key] {
                const QSignalBlocker quiet(combo);
                combo->setCurrentIndex(std::max(0, combo->findData(int(m_settings.intValue(key)))));
            });
            connect(combo, &QComboBox::activated, this, [this, combo, key] { store(key, combo->currentData().toInt()); });
            editor = combo;
            break;
        }
        case PreferenceKind::Color: {
            auto* button = new QPushButton;
            m_reloaders.push_back([this, button, key] { showColor(button, QColor(m_settings.stringValue(key))); });
            connect(button, &QPushButton::clicked, this, [this, button, key, label] {
                const QColor chosen = QColorDialog::getColor(QColor(m_settings.stringValue(key)), this, label,
                                                             QColorDialog::ShowAlphaChannel);
                if (!chosen.isValid()) return;
                store(key, colorText(chosen));
                showColor(button, chosen);
            });
            editor = button;
            break;
        }
        case PreferenceKind::Font: {
            auto* button = new QPushButton;
            m_reloaders.push_back([this, button, key] {
                QFont font;
                font.fromString(m_settings.stringValue(key));
                button->setText(QStringLiteral("%1, %2").arg(font.family()).arg(font.pointSize()));
            });
            connect(button, &QPushButton::clicked, this, [this, button, key, label] {
                QFont current;
                current.fromString(m_settings.stringValue(key));
                bool ok = false;
                const QFont chosen = QFontDialog::getFont(&ok, current, this, label, QFontDialog::MonospacedFonts);
                if (!ok) return;
                store(key, chosen.toString());
                button->setText(QStringLiteral("%1, %2").arg(chosen.family()).arg(chosen.pointSize()));
            });
            editor = button;
            break;
        }
    }
    editor->setAccessibleName(label);
    editor->setToolTip(key);
    m_reloaders.back()();
    return editor;
}

void PreferencesDialog::reloadControls() {
    for (const auto& reload : m_reloaders) reload();
}

void PreferencesDialog::showPage(const char* titleKey) {
    const auto& pages = PreferencePages::pages();
    for (std::size_t i = 0; i < pages.size(); ++i)
        if (QByteArray(pages[i].titleKey) == titleKey) m_pages->setCurrentIndex(int(i));
}

void PreferencesDialog::resetCurrentPage() {
    const int index = m_pages->currentIndex();
    if (index < 0) return;
    PreferencePages::ResetPage(m_settings, PreferencePages::pages()[std::size_t(index)]);
    reloadControls();
    emit settingsChanged();
}

QWidget* PreferencesDialog::controlFor(const QString& key) const {
    for (const auto& [k, widget] : m_controls)
        if (k == key) return widget;
    return nullptr;
}

}  // namespace qv
