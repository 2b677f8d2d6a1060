#include "ui/PathField.h"

#include "app/history/FolderHistory.h"
#include "base/Messages.h"
#include "base/Settings.h"

#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QToolButton>

namespace qv {

PathField::PathField(const QString& sideName, Settings& settings, QWidget* parent, Kind kind)
    : QWidget(parent), m_settings(settings), m_kind(kind), m_combo(new QComboBox(this)), m_browse(new QToolButton(this)) {
    m_combo->setEditable(true);
    m_combo->setInsertPolicy(QComboBox::NoInsert);
    m_combo->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_combo->setAccessibleName(sideName);
    m_combo->lineEdit()->setAccessibleName(sideName);
    m_combo->lineEdit()->setPlaceholderText(Messages::text("pathPlaceholder"));
    m_combo->lineEdit()->setClearButtonEnabled(true);
    for (QToolButton* b : m_combo->lineEdit()->findChildren<QToolButton*>()) b->setAccessibleName(Messages::text("clearField"));
    m_browse->setIcon(style()->standardIcon(kind == Kind::File ? QStyle::SP_FileIcon : QStyle::SP_DirOpenIcon));
    m_browse->setToolTip(Messages::text(kind == Kind::File ? "chooseFile" : "chooseFolder"));
    m_browse->setAccessibleName(Messages::format(kind == Kind::File ? "chooseFileFor" : "chooseFolderFor", sideName));
    if (kind == Kind::Folder) {
        // A snapshot file can stand on either side in place of the folder it recorded.
        auto* menu = new QMenu(m_browse);
        connect(menu->addAction(Messages::text("chooseFolder")), &QAction::triggered, this, &PathField::browse);
        connect(menu->addAction(Messages::text("chooseSnapshot")), &QAction::triggered, this, &PathField::chooseSnapshot);
        m_browse->setMenu(menu);
        m_browse->setPopupMode(QToolButton::MenuButtonPopup);
    }
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_combo);
    layout->addWidget(m_browse);
    setAcceptDrops(true);
    m_combo->lineEdit()->setAcceptDrops(false);   // drops land on the field as a whole
    setFocusProxy(m_combo);
    connect(m_browse, &QToolButton::clicked, this, &PathField::browse);
    connect(m_combo->lineEdit(), &QLineEdit::returnPressed, this, &PathField::submitted);
    reloadHistory();
}

std::string PathField::path() const {
    QString text = m_combo->currentText().trimmed();
    if (text.isEmpty()) return {};
    // As a shell would read it: "~" is the home folder, a relative path starts in the working folder.
    if (text == QLatin1String("~") || text.startsWith(QLatin1String("~/"))) text.replace(0, 1, QDir::homePath());
    if (!text.startsWith(QLatin1Char('/'))) text = QDir::current().absoluteFilePath(text);
    return QFile::encodeName(text).toStdString();
}

void PathField::setPath(const std::string& path) { m_combo->setEditText(QFile::decodeName(path.c_str())); }

void PathField::reloadHistory() {
    const QString current = m_combo->currentText();
    m_combo->blockSignals(true);
    m_combo->clear();
    KLastFolders folders(m_settings, m_kind == Kind::File ? QStringLiteral("lastFiles") : QStringLiteral("lastFolders"));
    // The stored list is oldest first; the menu shows locked entries, then the newest.
    std::vector<KLastFolders::Entry> entries = folders.items();
    std::stable_partition(entries.begin(), entries.end(), [](const auto& e) { return e.locked; });
    auto firstUnlocked = std::find_if(entries.begin(), entries.end(), [](const auto& e) { return !e.locked; });
    std::reverse(firstUnlocked, entries.end());
    const QIcon locked = QIcon::fromTheme(QStringLiteral("object-locked"), style()->standardIcon(QStyle::SP_DialogNoButton));
    for (const auto& e : entries) {
        if (e.locked) m_combo->addItem(locked, e.path);
        else m_combo->addItem(e.path);
        if (e.locked) m_combo->setItemData(m_combo->count() - 1, Messages::format("lockedEntry", e.path), Qt::AccessibleTextRole);
    }
    m_combo->setEditText(current);
    m_combo->blockSignals(false);
}

void PathField::browse() {
    const QString start = m_combo->currentText().trimmed();
    const QString chosen = m_kind == Kind::File ? QFileDialog::getOpenFileName(this, m_combo->accessibleName(), start)
                                                : QFileDialog::getExistingDirectory(this, m_combo->accessibleName(), start);
    if (!chosen.isEmpty()) m_combo->setEditText(chosen);
}

void PathField::chooseSnapshot() {
    const QString chosen = QFileDialog::getOpenFileName(this, Messages::text("chooseSnapshot"), m_combo->currentText().trimmed(),
                                                        Messages::text("snapshotFilter"));
    if (!chosen.isEmpty()) m_combo->setEditText(chosen);
}

void PathField::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && event->mimeData()->urls().first().isLocalFile()) event->acceptProposedAction();
}

void PathField::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile()) return;
    m_combo->setEditText(urls.first().toLocalFile());
    event->acceptProposedAction();
}

}  // namespace qv
