#include "ui/KRenamePopover.h"

#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "engine/KItem.h"
#include "sync/MergeList.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <algorithm>

namespace qv {
namespace {

const QString kModeKey = QStringLiteral("renOpt");

QLineEdit* nameField(QWidget* parent, const char* accessibleKey) {
    auto* field = new QLineEdit(parent);
    field->setAccessibleName(Messages::text(accessibleKey));
    field->setMinimumWidth(220);
    return field;
}

}  // namespace

KRenamePopover::KRenamePopover(QuorvaneModule& module, Settings& settings, QWidget* parent)
    : QFrame(parent, Qt::Popup), m_module(module), m_settings(settings) {
    setFrameShape(QFrame::StyledPanel);
    auto* grid = new QGridLayout(this);
    m_heading = new QLabel(this);
    QFont bold = m_heading->font();
    bold.setBold(true);
    m_heading->setFont(bold);
    grid->addWidget(m_heading, 0, 0, 1, 4);

    auto* group = new QButtonGroup(this);
    for (int tag = 1; tag <= 3; ++tag) {
        m_modes[tag - 1] = new QRadioButton(this);
        group->addButton(m_modes[tag - 1], tag);
    }
    m_newName = nameField(this, "newName");
    m_addText = nameField(this, "addText");
    m_position = new QComboBox(this);
    m_find = nameField(this, "replText");
    m_with = new QLabel(this);
    m_replace = nameField(this, "replWith");
    m_with->setBuddy(m_replace);
    grid->addWidget(m_modes[0], 1, 0);
    grid->addWidget(m_newName, 1, 1, 1, 3);
    grid->addWidget(m_modes[1], 2, 0);
    grid->addWidget(m_addText, 2, 1, 1, 2);
    grid->addWidget(m_position, 2, 3);
    grid->addWidget(m_modes[2], 3, 0);
    grid->addWidget(m_find, 3, 1);
    grid->addWidget(m_with, 3, 2);
    grid->addWidget(m_replace, 3, 3);
    iRenExample = new QLabel(this);
    iRenExample->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(iRenExample, 4, 0, 1, 4);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Messages::text("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Messages::text("cancel"));
    grid->addWidget(buttons, 5, 0, 1, 4);
    TranslateRenameView();

    connect(group, &QButtonGroup::idClicked, this, &KRenamePopover::RenameOption);
    for (QLineEdit* field : {m_newName, m_addText, m_find, m_replace}) {
        connect(field, &QLineEdit::textEdited, this, [this, field] { UpdateRenameExample(field); });
        connect(field, &QLineEdit::returnPressed, this, &KRenamePopover::RenameOk);
    }
    connect(m_position, &QComboBox::currentIndexChanged, this, [this] { UpdateRenameExample(nullptr); });
    connect(buttons, &QDialogButtonBox::accepted, this, &KRenamePopover::RenameOk);
    connect(buttons, &QDialogButtonBox::rejected, this, &QWidget::close);
    // The mode the user chose last comes back with every window.
    const int stored = static_cast<int>(m_settings.intValue(kModeKey));
    RenameOption(stored >= 1 && stored <= 3 ? stored : 1);
}

void KRenamePopover::TranslateRenameView() {
    m_modes[0]->setText(Messages::text("newName"));
    m_modes[1]->setText(Messages::text("addText"));
    m_modes[2]->setText(Messages::text("replText"));
    m_with->setText(Messages::text("replWith"));
    m_position->clear();
    m_position->addItem(Messages::text("afterMsg"), RenameAddAfter);
    m_position->addItem(Messages::text("beforeMsg"), RenameAddBefore);
    m_position->setAccessibleName(Messages::text("addText"));
}

void KRenamePopover::OpenRenamePopup(KItem* row, const std::vector<KItem*>& selection, int kind, int side,
                                     const QRect& anchor) {
    m_heading->setText(Messages::text(kind == BtnCopyAs ? "renMsg" : "renMsg2"));
    const bool several = selection.size() > 1 && std::find(selection.begin(), selection.end(), row) != selection.end();
    QString offered;
    if (several) {
        // One whole name cannot suit several items: only the patterns are offered.
        iResetState = false;
        m_modes[0]->setEnabled(false);
        m_modes[1]->setChecked(true);
    } else {
        const int action = row->iCopyTo;
        iResetState = action == kCopyAsToRight || action == kCopyAsToLeft;
        const bool ownRename = (action == kRenameLeft && side == kSideLeft) || (action == kRenameRight && side == kSideRight);
        offered = (iResetState || ownRename) && !row->iCopyAs().isEmpty() ? row->iCopyAs() : entryNameOnSide(*row, side);
        m_modes[0]->setEnabled(true);
        m_modes[0]->setChecked(true);
    }
    iSide = side;
    iRow = row;
    iItem = row;
    iHooverBtn = kind;
    m_selection = several ? selection : std::vector<KItem*>{row};
    RenameOption(several ? 2 : 1);
    m_newName->clear();
    // Filled once the popup shows, so that the selection of the name part is what the field keeps.
    QTimer::singleShot(0, this, [this, offered] { SetFileName(offered); });
    adjustSize();
    move(anchor.bottomLeft());
    show();
    UpdateRenameExample(nullptr);
}

void KRenamePopover::RenameOption(int tag) {
    m_settings.store(kModeKey, tag);
    m_modes[tag - 1]->setChecked(true);
    m_newName->setEnabled(tag == 1);
    m_addText->setEnabled(tag == 2);
    m_position->setEnabled(tag == 2);
    m_find->setEnabled(tag == 3);
    m_replace->setEnabled(tag == 3);
    if (tag == 1) {
        m_newName->setFocus();
        SelectOnlyFilename();
    } else {
        (tag == 2 ? m_addText : m_find)->setFocus();
    }
    UpdateRenameExample(nullptr);
}

RenameOptions KRenamePopover::RenameDict() const {
    auto textOf = [](const QLineEdit* field) { return field->text().isEmpty() ? QString() : field->text(); };
    if (m_modes[0]->isChecked()) return {RenameNewName, textOf(m_newName)};
    if (m_modes[1]->isChecked()) return {m_position->currentData().toInt(), textOf(m_addText)};
    if (m_find->text().isEmpty()) return {RenameReplace, QString()};
    return RenameOptions::replacing(m_find->text(), m_replace->text());
}

void KRenamePopover::UpdateRenameExample(QLineEdit* sender) {
    if (sender && sender->text().contains(kNameSeparator)) {
        const int cursor = sender->cursorPosition();
        const int before = static_cast<int>(sender->text().left(cursor).count(kNameSeparator));
        sender->setText(withoutSeparator(sender->text()));
        sender->setCursorPosition(cursor - before);
    }
    const RenameOptions options = RenameDict();
    if (!iItem || options.rename == RenameNewName || !options.hasText()) {
        iRenExample->clear();
        return;
    }
    const QString name = NewNameFrom(entryNameOnSide(*iItem, iSide), options);
    iRenExample->setText(QStringLiteral("%1 %2").arg(Messages::text("example"), name));
}

QString KRenamePopover::exampleText() const { return iRenExample->text(); }

void KRenamePopover::RenameOk() {
    const RenameOptions options = RenameDict();
    if (!options.hasText() || !iRow) return;
    // A row that is copied as already gets its copy-as again, under the new name,
    // instead of the press taking it away.
    if (iResetState) iItem->iCopyTo = kNone;
    m_module.SetItemsForRow(iRow, m_selection, iHooverBtn == BtnCopyAs ? BtnCopyAs : BtnRename, iSide, options);
    ResetState();
    close();
}

void KRenamePopover::SetFileName(const QString& name) {
    m_newName->setText(withoutSeparator(name));
    SelectOnlyFilename();
}

void KRenamePopover::SelectOnlyFilename() {
    if (!m_modes[0]->isChecked()) return;
    const NameParts parts = NameParts::of(m_newName->text());
    if (parts.extension.isEmpty()) m_newName->selectAll();
    else m_newName->setSelection(0, static_cast<int>(parts.stem.size()));
}

void KRenamePopover::ResetState() {
    iResetState = false;
    iItem = nullptr;
    iRow = nullptr;
    iHooverBtn = 0;
    m_selection.clear();
}

}  // namespace qv
