// What a comparison window keeps for the next start: its columns, its
// panes, its pairs and its place on the screen.

#include "ui/ComparisonWindow.h"

#include "app/FileComparisonSession.h"
#include "app/QuorvaneModule.h"
#include "base/PathResolution.h"
#include "base/Settings.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonView.h"
#include "ui/FileCompareTab.h"
#include "ui/PathField.h"

#include <QDockWidget>
#include <QFile>
#include <QHeaderView>
#include <QTabWidget>

namespace qv {
namespace {

// Identifiers that survive a reordering of the model's columns.
const char* const kColumnIds[ComparisonModel::ColumnCount] = {
    "name1", "size1", "date1", "state", "name2", "size2", "date2", "created1", "created2",
    "opened1", "opened2", "kind1", "kind2", "tags1", "tags2", "digest1", "digest2"};

}  // namespace

QString ComparisonWindow::columnId(int column) {
    return column >= 0 && column < ComparisonModel::ColumnCount ? QString::fromLatin1(kColumnIds[column]) : QString();
}

int ComparisonWindow::columnForId(const QString& id) {
    for (int c = 0; c < ComparisonModel::ColumnCount; ++c)
        if (id == QLatin1String(kColumnIds[c])) return c;
    return -1;
}

QList<ColumnLayout> ComparisonWindow::columnLayout() const {
    QList<ColumnLayout> out;
    const QHeaderView* header = m_view->header();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (header->isSectionHidden(column)) continue;
        out.append({columnId(column), double(header->sectionSize(column)), QString()});
    }
    return out;
}

void ComparisonWindow::applyColumnLayout(const QList<ColumnLayout>& columns) {
    bool listed[ComparisonModel::ColumnCount] = {};
    for (const ColumnLayout& c : columns) {
        const int column = columnForId(c.id);
        if (column >= 0) listed[column] = true;
    }
    // Optional columns come in pairs: the left one decides for both.
    for (int column = ComparisonModel::kFirstOptional; column < ComparisonModel::ColumnCount; column += 2)
        if (listed[column] != !m_view->isColumnHidden(column)) showOptionalColumn(column, listed[column]);
    QHeaderView* header = m_view->header();
    for (const ColumnLayout& c : columns) {
        const int column = columnForId(c.id);
        // Stretching and fixed columns take the width the view gives them.
        if (column < 0 || header->sectionResizeMode(column) != QHeaderView::Interactive) continue;
        if (c.width >= 8 && c.width <= 4000) header->resizeSection(column, int(c.width));
    }
}

PaneLayout ComparisonWindow::paneLayout() const {
    PaneLayout ui;
    ui.leftSplit = 0;   // the window has no left pane
    ui.rightSplit = m_inspectorDock->isVisible() ? m_inspectorDock->width() : 0;
    ui.fileType = int(m_module->fileComparison().fileType());
    return ui;
}

void ComparisonWindow::applyPaneLayout(const PaneLayout& ui) {
    setInspectorShown(ui.rightSplit > 0);
    if (ui.rightSplit > 0) resizeDocks({m_inspectorDock}, {ui.rightSplit}, Qt::Horizontal);
    if (ui.fileType != int(m_module->fileComparison().fileType())) {
        m_module->fileComparison().FileType(FileCompareType(ui.fileType));
        m_fileTab->applySettings();
    }
}

RestorableWindow ComparisonWindow::restorableState() const {
    RestorableWindow w;
    w.leftPath = QFile::decodeName(m_leftPath->path().c_str());
    w.rightPath = QFile::decodeName(m_rightPath->path().c_str());
    w.leftFile = m_fileTab->fieldPath(true);
    w.rightFile = m_fileTab->fieldPath(false);
    w.selTab = fileTabShown() ? QStringLiteral("2") : QStringLiteral("1");
    w.columns = columnLayout();
    w.ui = paneLayout();
    w.maximized = isMaximized();
    w.geometry = w.maximized ? normalGeometry() : geometry();
    return w;
}

void ComparisonWindow::restoreState(const RestorableWindow& state) {
    // The folder pair first, then the file pair, as the tabs would be filled by hand.
    setPaths(QFile::encodeName(state.leftPath).toStdString(), QFile::encodeName(state.rightPath).toStdString());
    if (!state.leftFile.isEmpty() || !state.rightFile.isEmpty()) m_fileTab->setPaths(state.leftFile, state.rightFile);
    if (state.selTab == QLatin1String("2")) m_tabs->setCurrentWidget(m_fileTab);
    if (!state.columns.isEmpty()) applyColumnLayout(state.columns);
    applyPaneLayout(state.ui);
    // Last: showing a pane widens the window.
    if (!state.geometry.isEmpty()) setGeometry(state.geometry);
    if (state.maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void ComparisonWindow::CloseWindow() { WindowLayout::storeLayout(m_settings, columnLayout(), paneLayout()); }

bool ComparisonWindow::comparesPair(const std::string& a, const std::string& b) const {
    return isSamePair(m_leftPath->path(), m_rightPath->path(), a, b);
}

bool ComparisonWindow::comparing() const { return m_module->ComparingFolders(); }

}  // namespace qv
