#include "ui/SnapshotPreviewWindow.h"

#include "app/SnapshotOrder.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "engine/UserPrompt.h"
#include "snapshot/KSnapshot.h"
#include "ui/Formatting.h"
#include "ui/SnapshotTreeModel.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMimeDatabase>
#include <QProgressBar>
#include <QThread>
#include <QTreeView>
#include <QVBoxLayout>

namespace qv {
namespace {

const QString kWidths = QStringLiteral("ssOutlineColumns");
constexpr int kNameColumn = 0;

// The localised description of every content type a snapshot names.
std::vector<QString> kindNames(const KSnapshot& snapshot) {
    static const QMimeDatabase mimes;
    std::vector<QString> names;
    for (const std::string& type : snapshot.types()) {
        const QMimeType mime = mimes.mimeTypeForName(QString::fromStdString(type));
        names.push_back(mime.isValid() ? mime.comment() : QString::fromStdString(type));
    }
    return names;
}

}  // namespace

SnapshotPreviewWindow::SnapshotPreviewWindow(const QString& file, Settings& settings, UserPrompt& prompt, QWidget* parent)
    : QWidget(parent, Qt::Window), m_file(file), m_settings(settings), m_prompt(prompt), m_folder(new QLabel(this)),
      m_details(new QLabel(this)), m_selection(new QLabel(this)), m_progress(new QProgressBar(this)),
      m_tree(new QTreeView(this)), m_model(new SnapshotTreeModel(this)) {
    setWindowTitle(QFileInfo(file).fileName());
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_folder->setAccessibleName(Messages::text("snapFolder"));
    m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_folder->font();
    bold.setBold(true);
    m_folder->setFont(bold);
    m_details->setAccessibleName(Messages::text("snapDetailsName"));
    m_selection->setAccessibleName(Messages::text("snapSelectionPath"));
    m_selection->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_progress->setRange(0, 0);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(Messages::text("a11yProgress"));
    m_tree->setModel(m_model);
    m_tree->setAccessibleName(Messages::text("snapTree"));
    m_tree->setUniformRowHeights(true);
    m_tree->header()->setSectionsClickable(true);
    m_tree->header()->setSortIndicatorShown(true);
    m_tree->header()->setContextMenuPolicy(Qt::CustomContextMenu);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_folder);
    layout->addWidget(m_details);
    layout->addWidget(m_progress);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_selection);
    resize(860, 560);

    const qint64 stored = settings.intValue(QStringLiteral("qvssSortCol"));
    m_sortColumn = stored >= 1 && stored <= SnapshotTreeModel::kColumns ? int(stored) - 1 : kNameColumn;
    m_ascending = settings.boolValue(QStringLiteral("qvssAscending"));
    restoreColumns();
    connect(m_tree->header(), &QHeaderView::sectionClicked, this, &SnapshotPreviewWindow::sortBy);
    connect(m_tree->header(), &QHeaderView::customContextMenuRequested, this, &SnapshotPreviewWindow::showHeaderMenu);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        m_selection->setText(m_model->pathOf(m_model->entryAt(current)));
    });

    const std::string path = QFile::encodeName(file).toStdString();
    auto read = std::make_shared<std::shared_ptr<KSnapshot>>();
    m_thread = QThread::create([path, read] {
        auto snapshot = std::make_shared<KSnapshot>();
        if (snapshot->ReadSnapshot(path)) *read = std::move(snapshot);
    });
    connect(m_thread, &QThread::finished, this, [this, read] { ReadFinished(*read); }, Qt::QueuedConnection);
    m_thread->start();
}

SnapshotPreviewWindow::~SnapshotPreviewWindow() {
    if (!m_thread) return;
    disconnect(m_thread, nullptr, this, nullptr);
    m_thread->wait();
    delete m_thread;
}

void SnapshotPreviewWindow::ReadFinished(std::shared_ptr<KSnapshot> snapshot) {
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_progress->hide();
    if (!snapshot || !snapshot->iSnapshot()) {
        m_prompt.inform(Messages::text("snapErr0"), Messages::text("snapErr1"));
        emit loadedSnapshot(false);
        close();
        return;
    }
    m_snapshot = std::move(snapshot);
    m_order = std::make_unique<SnapshotOrder>(*m_snapshot, kindNames(*m_snapshot));
    const KSnapURL& root = *m_snapshot->iSnapshot();
    m_folder->setText(QFile::decodeName(m_snapshot->recordedPath().c_str()));
    const QString date = m_snapshot->iSnapDate() == kNoRecordedDate
                             ? QString()
                             : QLocale().toString(QDateTime::fromSecsSinceEpoch(m_snapshot->iSnapDate() / 1'000'000'000),
                                                  QLocale::LongFormat);
    m_details->setText(Messages::format("snapDetails", date,
                                        QLocale().formattedDataSize(qint64(root.iDataSize), 1, QLocale::DataSizeSIFormat),
                                        QLocale().toString(qulonglong(root.iNumOfFiles)),
                                        QLocale().toString(qulonglong(root.iNumOfFolders))));
    m_order->SortBy(*m_snapshot->iSnapshot(), m_sortColumn + 1, m_settings.boolValue(QStringLiteral("optFoldersTop")), m_ascending);
    m_model->setSnapshot(m_snapshot.get(), m_order.get());
    m_tree->header()->setSortIndicator(m_sortColumn, m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    emit loadedSnapshot(true);
}

void SnapshotPreviewWindow::sortBy(int column) {
    if (column == m_sortColumn) m_ascending = !m_ascending;
    else m_ascending = true;
    m_sortColumn = column;
    m_tree->header()->setSortIndicator(m_sortColumn, m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    sortAgain();
}

void SnapshotPreviewWindow::setFoldersOnTop(bool onTop) {
    m_settings.store(QStringLiteral("optFoldersTop"), onTop);
    sortAgain();
}

void SnapshotPreviewWindow::sortAgain() {
    if (!m_snapshot) return;
    const bool foldersOnTop = m_settings.boolValue(QStringLiteral("optFoldersTop"));
    m_model->reorder([&] { m_order->SortBy(*m_snapshot->iSnapshot(), m_sortColumn + 1, foldersOnTop, m_ascending); });
}

void SnapshotPreviewWindow::showHeaderMenu(const QPoint& at) {
    QMenu menu(this);
    QAction* onTop = menu.addAction(Messages::text("fot"));
    onTop->setCheckable(true);
    onTop->setChecked(m_settings.boolValue(QStringLiteral("optFoldersTop")));
    connect(onTop, &QAction::toggled, this, &SnapshotPreviewWindow::setFoldersOnTop);
    menu.addSeparator();
    for (int column = 1; column < SnapshotTreeModel::kColumns; ++column) {
        QAction* shown = menu.addAction(m_model->headerData(column, Qt::Horizontal).toString());
        shown->setCheckable(true);
        shown->setChecked(!m_tree->header()->isSectionHidden(column));
        connect(shown, &QAction::toggled, this, [this, column](bool on) { m_tree->header()->setSectionHidden(column, !on); });
    }
    menu.exec(m_tree->header()->mapToGlobal(at));
}

void SnapshotPreviewWindow::restoreColumns() {
    QVariantMap widths = m_settings.value(kWidths).toMap();
    if (widths.isEmpty())
        for (int id = 1; id <= 5; ++id) widths.insert(QString::number(id), 0);
    // Widths for columns without a stored one: name, size, the dates, kind, tags, digest.
    static const int kDefaults[SnapshotTreeModel::kColumns] = {300, 90, 160, 160, 170, 120, 260};
    for (int column = 0; column < SnapshotTreeModel::kColumns; ++column) {
        const QString id = QString::number(column + 1);
        // The name always shows; other columns only when listed.
        m_tree->header()->setSectionHidden(column, column != kNameColumn && !widths.contains(id));
        const int width = widths.value(id).toInt();
        m_tree->header()->resizeSection(column, width >= 11 ? width : kDefaults[column]);
    }
}

void SnapshotPreviewWindow::storeColumns() {
    QVariantMap widths;
    for (int column = 0; column < SnapshotTreeModel::kColumns; ++column)
        if (!m_tree->header()->isSectionHidden(column))
            widths.insert(QString::number(column + 1), m_tree->header()->sectionSize(column));
    m_settings.store(kWidths, widths);
}

void SnapshotPreviewWindow::closeEvent(QCloseEvent* event) {
    storeColumns();
    m_settings.store(QStringLiteral("qvssSortCol"), std::max(1, m_sortColumn + 1));
    m_settings.store(QStringLiteral("qvssAscending"), m_ascending);
    event->accept();
}

}  // namespace qv
