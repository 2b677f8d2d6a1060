#include "ui/ExecutionDialog.h"

#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "engine/KRootItem.h"
#include "engine/UserPrompt.h"
#include "sync/KCopyItem.h"
#include "sync/KMerge.h"
#include "sync/MassDeletion.h"
#include "sync/MergeList.h"
#include "ui/ExecutionRowsModel.h"
#include "ui/StateAppearance.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QThread>
#include <QUrl>
#include <QVBoxLayout>

namespace qv {
namespace {

enum ArchiveChoice : int { kNoArchive = 0, kArchiveToTrash = 1, kArchiveToFolder = 2, kChooseFolder = 3 };

const char* kGroupKeys[4] = {"groupCopyLeft", "groupCopyRight", "groupDeleteLeft", "groupDeleteRight"};

QString sizeText(double bytes) {
    return QLocale().formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeSIFormat);
}

}  // namespace

// Hands the worker's reports to the dialog on the main thread, copying what
// the worker may change afterwards.
class ExecutionDialog::WorkerObserver final : public MergeObserver {
public:
    explicit WorkerObserver(ExecutionDialog& dialog) : m_dialog(dialog) {}

    void statusChanged(const QString& text) override {
        QMetaObject::invokeMethod(&m_dialog, [d = &m_dialog, text] { d->m_status->setText(text); }, Qt::QueuedConnection);
    }

    void progressChanged(const MergeProgress& p, bool figuresUpdated) override {
        const double fraction = p.fraction(), total = p.total(), speed = p.speed(), remaining = p.remaining();
        const quint64 bytes = p.bytesCopied();
        QMetaObject::invokeMethod(
            &m_dialog,
            [d = &m_dialog, fraction, bytes, total, speed, remaining, figuresUpdated] {
                d->showProgress(fraction, bytes, total, figuresUpdated ? speed : -1, remaining);
            },
            Qt::QueuedConnection);
    }

    void rowFinished(const KMergeItem& row, std::size_t index) override {
        ExecutionRowsModel::RowResult result{row.iStatus, row.code, KMerge::ActionError(row)};
        QMetaObject::invokeMethod(
            &m_dialog, [d = &m_dialog, index, result] { d->m_rows->setResult(index, result); }, Qt::QueuedConnection);
    }

private:
    ExecutionDialog& m_dialog;
};

ExecutionDialog::ExecutionDialog(QuorvaneModule& module, Settings& settings, QWidget* parent)
    : QDialog(parent), m_module(module), m_settings(settings), m_rows(new ExecutionRowsModel(this)) {
    setWindowTitle(Messages::text("executeTitle"));
    setAccessibleName(windowTitle());
    auto* groups = new QGridLayout;
    for (int g = 0; g < 4; ++g) {
        m_groups[g] = new QCheckBox(this);
        groups->addWidget(m_groups[g], g / 2, g % 2);
        connect(m_groups[g], &QCheckBox::toggled, this, [this, g](bool on) {
            m_groupOn[g] = on;
            m_merge->StatCheckAction(g, on);
            showGroups();
        });
    }
    m_archive = new QComboBox(this);
    m_archive->setAccessibleName(Messages::text("archiveChoice"));
    m_dontOverwrite = new QCheckBox(Messages::text("dontOverwriteEqual"), this);
    m_dontOverwrite->setChecked(settings.boolValue(QStringLiteral("dontOverwiteIdentical")));
    auto* options = new QFormLayout;
    options->addRow(Messages::text("archiveLabel"), m_archive);
    options->addRow(QString(), m_dontOverwrite);

    m_table = new QTableView(this);
    m_table->setModel(m_rows);
    m_table->setAccessibleName(Messages::text("a11yExecutionRows"));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setShowGrid(false);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(ExecutionRowsModel::Left, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(ExecutionRowsModel::Right, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(ExecutionRowsModel::Message, QHeaderView::Stretch);
    m_table->horizontalHeader()->resizeSection(ExecutionRowsModel::Result, 32);
    m_table->horizontalHeader()->setSectionResizeMode(ExecutionRowsModel::Action, QHeaderView::ResizeToContents);
    m_table->setWordWrap(false);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    m_progress = new QProgressBar(this);
    m_progress->setAccessibleName(Messages::text("a11yProgress"));
    m_progress->setRange(0, 1000);
    m_progress->hide();
    m_figures = new QLabel(this);
    m_figures->setAccessibleName(Messages::text("a11yFigures"));
    m_status = new QLabel(this);
    m_status->setAccessibleName(Messages::text("a11yStatus"));
    m_status->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_primary = buttons->addButton(Messages::text("executeBtn"), QDialogButtonBox::ActionRole);
    m_secondary = buttons->addButton(Messages::text("cancel"), QDialogButtonBox::RejectRole);
    m_primary->setDefault(true);
    connect(m_primary, &QPushButton::clicked, this, &ExecutionDialog::primaryPressed);
    connect(m_secondary, &QPushButton::clicked, this, &ExecutionDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addLayout(options);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_figures);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    resize(860, 520);

    const bool archiving = settings.boolValue(QStringLiteral("overwrittenToTrash2"));
    const QString folder = settings.stringValue(QStringLiteral("mergeArchiveFolder"));
    m_archive->addItem(Messages::text("archiveNone"), kNoArchive);
    m_archive->addItem(Messages::text("archiveTrash"), kArchiveToTrash);
    if (!folder.isEmpty()) m_archive->addItem(Messages::format("archiveFolder", folder), kArchiveToFolder);
    m_archive->addItem(Messages::text("archiveChoose"), kChooseFolder);
    m_archive->setCurrentIndex(!archiving ? 0 : folder.isEmpty() ? 1 : 2);
    connect(m_archive, &QComboBox::activated, this, &ExecutionDialog::archiveChosen);
    connect(m_dontOverwrite, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.store(QStringLiteral("dontOverwiteIdentical"), on);
        makeExecution();
    });
    makeExecution();
}

ExecutionDialog::~ExecutionDialog() {
    stopRun();
    // The table may still lay out rows while the widgets go; the execution goes first.
    m_rows->clear();
}

void ExecutionDialog::makeExecution() {
    MergeSettings s = MergeSettings::fromSettings(m_settings);
    m_merge = KMerge::Start(m_module.mergeList().iMergeItems(), *m_module.iRootItem(), m_module.prompt(), s);
    m_rows->setRows(m_merge->iMergeItems());
    for (int g = 0; g < 4; ++g) {
        const bool any = m_merge->group(g).items > 0;
        QSignalBlocker block(m_groups[g]);
        m_groups[g]->setEnabled(any);
        m_groups[g]->setChecked(any && m_groupOn[g]);
        m_merge->StatCheckAction(g, m_groups[g]->isChecked());
    }
    // Archiving only matters when something is replaced or removed.
    m_archive->setEnabled(m_merge->iWillOverwrite || m_merge->iWillRemove);
    m_dontOverwrite->setEnabled(m_merge->iWillOverwrite);
    showGroups();
}

void ExecutionDialog::showGroups() {
    QLocale locale;
    for (int g = 0; g < 4; ++g) {
        const MergeGroup& group = m_merge->group(g);
        QString text = Messages::text(kGroupKeys[g]) + QLatin1Char(' ');
        if (group.items == 0) text += QStringLiteral("0");
        else if (!m_groups[g]->isChecked()) text += Messages::text("disabled");
        else text += QStringLiteral("%1 (%2)").arg(locale.toString(qulonglong(group.items)), sizeText(double(group.size)));
        m_groups[g]->setText(text);
        QPalette p = m_groups[g]->palette();
        p.setColor(QPalette::WindowText, g < 2 ? stateColor(kStateOnlyLeft, palette()) : verdictColor(Verdict::Different, palette()));
        m_groups[g]->setPalette(p);
    }
    m_status->setText(m_merge->statusText());
    m_primary->setEnabled(m_merge->iTotalItems > 0);
}

void ExecutionDialog::archiveChosen(int index) {
    const int choice = m_archive->itemData(index).toInt();
    if (choice == kChooseFolder) {
        const QString folder = QFileDialog::getExistingDirectory(this, Messages::text("mergeArch"));
        const KRootItem& root = *m_module.iRootItem();
        const std::string chosen = QFile::encodeName(folder).toStdString();
        bool inside = false;
        for (int side : {kSideLeft, kSideRight})
            inside = inside || chosen == root.PathForSide(side) || KCopyItem::PathIsInsidePath(chosen, root.PathForSide(side));
        if (folder.isEmpty() || inside) {
            if (inside) m_module.prompt().inform(Messages::text("archiveInside"));
            m_archive->setCurrentIndex(m_settings.boolValue(QStringLiteral("overwrittenToTrash2")) ? 1 : 0);
            return;
        }
        m_settings.store(QStringLiteral("mergeArchiveFolder"), folder);
        m_settings.store(QStringLiteral("overwrittenToTrash2"), true);
        const int existing = m_archive->findData(kArchiveToFolder);
        if (existing >= 0) m_archive->removeItem(existing);
        m_archive->insertItem(2, Messages::format("archiveFolder", folder), kArchiveToFolder);
        m_archive->setCurrentIndex(2);
    } else {
        m_settings.store(QStringLiteral("overwrittenToTrash2"), choice != kNoArchive);
        if (choice == kArchiveToTrash) m_settings.remove(QStringLiteral("mergeArchiveFolder"));
        if (choice == kArchiveToTrash) {
            const int existing = m_archive->findData(kArchiveToFolder);
            if (existing >= 0) m_archive->removeItem(existing);
        }
    }
    makeExecution();
}

bool ExecutionDialog::confirmStart() {
    UserPrompt& prompt = m_module.prompt();
    // A run that would empty a side is most often a wrong direction or a wrong
    // folder: it goes ahead only when asked for again, and never by default.
    const std::vector<MassDeletion> mass = massDeletions(m_merge->iMergeItems(), *m_module.iRootItem());
    if (!mass.empty()) {
        QStringList sides;
        for (const MassDeletion& m : mass)
            sides << Messages::format(m.side == kSideLeft ? "massDeletionLeft" : "massDeletionRight",
                                      QLocale().toString(qulonglong(m.removed)), QLocale().toString(qulonglong(m.entries)));
        const Answer a = prompt.ask({Messages::text("massDeletionTitle"), sides.join('\n'),
                                     {Messages::text("cancel"), Messages::text("massDeletionGo")}, false});
        if (a.button != 1) return false;
    }
    const bool archiving = m_archive->isEnabled() && m_archive->currentData().toInt() != kNoArchive;
    if (!archiving && (m_merge->iWillOverwrite || m_merge->iWillRemove) &&
        !m_settings.boolValue(QStringLiteral("dontShowOWWarning"))) {
        const Answer a = prompt.ask({Messages::text("warning"), Messages::text("owWarning"),
                                     {Messages::text("cancel"), Messages::text("OK")}, true});
        if (a.button != 1) return false;
        if (a.suppress) m_settings.store(QStringLiteral("dontShowOWWarning"), true);
    }
    if (m_dontOverwrite->isEnabled() && m_dontOverwrite->isChecked() &&
        !m_module.state().optCmpContents && !m_settings.boolValue(QStringLiteral("dontShowIdentCopyMsg"))) {
        const Answer a = prompt.ask({Messages::text("identWarn0"), Messages::text("identWarn1"),
                                     {Messages::text("cancel"), Messages::text("OK")}, true});
        if (a.button != 1) return false;
        if (a.suppress) m_settings.store(QStringLiteral("dontShowIdentCopyMsg"), true);
    }
    return true;
}

void ExecutionDialog::execute() {
    if (m_thread || m_finished || m_merge->iTotalItems == 0) return;
    if (!confirmStart()) return;
    for (QCheckBox* g : m_groups) g->setEnabled(false);
    m_archive->setEnabled(false);
    m_dontOverwrite->setEnabled(false);
    m_primary->setText(Messages::text("StopBtn"));
    m_secondary->setEnabled(false);
    m_progress->setValue(0);
    m_progress->show();
    m_bytesToCopy = 0;
    for (int g : {kGroupCopyLeft, kGroupCopyRight})
        if (m_merge->group(g).enabled) m_bytesToCopy += m_merge->group(g).size;
    m_observer = std::make_unique<WorkerObserver>(*this);
    KMerge* merge = m_merge.get();
    WorkerObserver* observer = m_observer.get();
    m_thread = QThread::create([merge, observer] { merge->MergeThread(*observer); });
    connect(m_thread, &QThread::finished, this, &ExecutionDialog::runFinished, Qt::QueuedConnection);
    m_thread->start();
}

void ExecutionDialog::showProgress(double fraction, quint64 bytes, double, double speed, double remaining) {
    m_progress->setValue(static_cast<int>(fraction * 1000));
    if (speed < 0) return;   // only the bar moves between two recomputed figures
    // The bar weighs deletes too; the figures speak of the data copied.
    m_figures->setText(Messages::format("executionFigures", sizeText(double(bytes)), sizeText(double(m_bytesToCopy)),
                                        MergeProgress::FormattedSpeed(speed),
                                        MergeProgress::FormattedTimeRemaining(remaining)));
}

void ExecutionDialog::runFinished() {
    if (!m_thread) return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_finished = true;
    m_progress->hide();
    m_figures->clear();
    const bool cancelled = m_merge->wasCancelled();
    const bool failed = m_merge->lastFailedIndex() >= 0;
    const char* key = cancelled ? "procAbort" : failed ? "mergeErrors" : "mergeCompleted";
    m_status->setText(Messages::text(key));
    QPalette p = m_status->palette();
    p.setColor(QPalette::WindowText, verdictColor(cancelled ? Verdict::Neutral : failed ? Verdict::Different : Verdict::Equal, palette()));
    m_status->setPalette(p);
    if (failed || cancelled) m_rows->showByStatus(m_merge->rowsByStatus());
    m_primary->setText(Messages::text("close"));
    m_primary->setEnabled(true);
    const QString archive = QFile::decodeName(m_merge->iTrash().c_str());
    m_secondary->setEnabled(!archive.isEmpty());
    m_secondary->setVisible(!archive.isEmpty());
    if (!archive.isEmpty()) {
        m_secondary->setText(Messages::text("showTrashed"));
        disconnect(m_secondary, nullptr, this, nullptr);
        connect(m_secondary, &QPushButton::clicked, this,
                [archive] { QDesktopServices::openUrl(QUrl::fromLocalFile(archive)); });
    }
}

void ExecutionDialog::primaryPressed() {
    if (m_thread) stopRun();
    else if (!m_finished) execute();
    else {
        m_compareAgain = m_module.MergeFinishedOk();
        accept();
    }
}

void ExecutionDialog::stopRun() {
    if (!m_thread) return;
    m_merge->Cancel();
    m_status->setText(Messages::text("aborting"));
    m_primary->setEnabled(false);
    // The worker may be waiting for an answer from this thread; let it through.
    while (m_thread && !m_thread->wait(10)) QCoreApplication::processEvents();
    runFinished();
}

void ExecutionDialog::reject() {
    if (m_thread) {
        stopRun();
        return;
    }
    QDialog::reject();
}

}  // namespace qv
