#include "ui/SyncDialog.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "sync/MirrorPlanner.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qv {

SyncDialog::SyncDialog(Settings& settings, bool haveComparison, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(Messages::text("syncTitle"));
    setAccessibleName(windowTitle());
    m_mirror = new QRadioButton(Messages::text("syncMirror"), this);
    m_update = new QRadioButton(Messages::text("syncUpdate"), this);
    auto* types = new QButtonGroup(this);
    types->addButton(m_mirror);
    types->addButton(m_update);
    (settings.intValue(QStringLiteral("SyncType")) == kUpdateSync ? m_update : m_mirror)->setChecked(true);

    m_toRight = new QRadioButton(Messages::text("syncToRight"), this);
    m_toLeft = new QRadioButton(Messages::text("syncToLeft"), this);
    m_both = new QRadioButton(Messages::text("syncBoth"), this);
    m_directions = new QButtonGroup(this);
    m_directions->addButton(m_toRight, kMirrorToRight);
    m_directions->addButton(m_toLeft, kMirrorToLeft);
    m_directions->addButton(m_both, kMirrorBoth);
    m_deleteOrphans = new QCheckBox(this);
    m_deleteOrphans->setChecked(settings.boolValue(QStringLiteral("mirrorDelDest")));
    m_info = new QLabel(this);
    m_info->setWordWrap(true);
    m_info->setMinimumWidth(420);
    m_info->setAccessibleName(Messages::text("a11ySyncInfo"));

    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(m_mirror);
    typeRow->addWidget(m_update);
    typeRow->addStretch();
    auto* directionRow = new QHBoxLayout;
    directionRow->addWidget(m_toRight);
    directionRow->addWidget(m_toLeft);
    directionRow->addWidget(m_both);
    directionRow->addStretch();
    auto* form = new QFormLayout;
    form->addRow(Messages::text("syncKind"), typeRow);
    form->addRow(Messages::text("syncDirection"), directionRow);
    form->addRow(QString(), m_deleteOrphans);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_start = buttons->addButton(Messages::text(haveComparison ? "overview" : "scan"), QDialogButtonBox::AcceptRole);
    m_start->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        m_settings.store(QStringLiteral("mirrorDelDest"), m_deleteOrphans->isChecked());
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_info);
    layout->addWidget(buttons);

    connect(types, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool on) {
        if (on) typeChanged();
    });
    connect(m_directions, &QButtonGroup::buttonToggled, this, &SyncDialog::UpdateInfoString);
    connect(m_deleteOrphans, &QCheckBox::toggled, this, &SyncDialog::UpdateInfoString);
    typeChanged();
}

int SyncDialog::syncType() const { return m_update->isChecked() ? kUpdateSync : kMirrorSync; }

int SyncDialog::direction() const { return std::max(0, m_directions->checkedId()); }

int SyncDialog::mirror() const {
    const int d = direction();
    if (d == kMirrorBoth && syncType() == kMirrorSync) return 0;
    return d | (m_deleteOrphans->isChecked() && d != kMirrorBoth ? kMirrorDeleteOrphans : 0);
}

void SyncDialog::typeChanged() {
    // Only an update can run both ways; a mirror has one source.
    const bool update = syncType() == kUpdateSync;
    if (!update && m_both->isChecked()) {
        m_directions->setExclusive(false);
        m_both->setChecked(false);
        m_directions->setExclusive(true);
    }
    m_both->setVisible(update);
    m_settings.store(QStringLiteral("SyncType"), syncType());
    UpdateInfoString();
}

void SyncDialog::UpdateInfoString() {
    const int d = direction();
    m_start->setEnabled(mirror() != 0);
    const QString destination = Messages::text(d == kMirrorToRight ? "mirrR" : "mirrL");
    const QString source = Messages::text(d == kMirrorToRight ? "mirrL" : "mirrR");
    const bool update = syncType() == kUpdateSync;
    m_deleteOrphans->setVisible(!(update && d == kMirrorBoth));
    if (d == 0) {
        m_info->setText(Messages::text("mirrSyncMsg0"));
        m_deleteOrphans->setText(Messages::text("delMirr2"));
        return;
    }
    m_deleteOrphans->setText(Messages::format("delMirr1", destination, source));
    if (update && d == kMirrorBoth) {
        m_info->setText(Messages::text("updateSyncMsg3"));
    } else if (update && m_deleteOrphans->isChecked()) {
        m_info->setText(Messages::format("updateSyncMsg1", destination, source, destination));
    } else {
        const QByteArray key = QByteArray(update ? "update" : "mirr") + (m_deleteOrphans->isChecked() ? "SyncMsg1" : "SyncMsg2");
        m_info->setText(Messages::format(key.constData(), destination, source));
    }
}

}  // namespace qv
