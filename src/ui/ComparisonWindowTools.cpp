// The parts of the comparison window around its folder tab: the file tab,
// the Preferences, the filter rules, the export, the snapshot windows and
// the inspector.

#include "ui/ComparisonWindow.h"

#include "app/FileComparisonSession.h"
#include "app/QuorvaneModule.h"
#include "app/WindowState.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "engine/KItem.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonView.h"
#include "ui/FileCompareTab.h"
#include "ui/InspectorPanel.h"
#include "ui/PreferencesDialog.h"
#include "ui/RuleEditor.h"
#include "ui/SnapshotPreviewWindow.h"
#include "ui/SnapshotRecordWindow.h"
#include "ui/WindowExport.h"

#include <QApplication>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QMenuBar>
#include <QTabWidget>

namespace qv {

QWidget* ComparisonWindow::buildTabs(QWidget* folderTab) {
    m_tabs = new QTabWidget(this);
    m_tabs->setDocumentMode(true);
    m_tabs->setAccessibleName(Messages::text("a11yTabs"));
    m_fileTab = new FileCompareTab(m_module->fileComparison(), m_settings, m_tabs);
    m_tabs->addTab(folderTab, Messages::text("tabFolders"));
    m_tabs->addTab(m_fileTab, Messages::text("tabFiles"));
    m_inspector = new InspectorPanel(this);
    m_inspectorDock = new QDockWidget(Messages::text("insTitle"), this);
    m_inspectorDock->setObjectName(QStringLiteral("inspectorDock"));
    m_inspectorDock->setWidget(m_inspector);
    addDockWidget(Qt::RightDockWidgetArea, m_inspectorDock);
    m_inspectorDock->hide();
    return m_tabs;
}

void ComparisonWindow::buildToolMenus() {
    QMenu* file = menuBar()->actions().isEmpty() ? menuBar()->addMenu(Messages::text("menuFile"))
                                                 : menuBar()->actions().first()->menu();
    QAction* first = file->actions().isEmpty() ? nullptr : file->actions().first();
    const auto insert = [&](const char* key, const QKeySequence& keys, void (ComparisonWindow::*slot)()) {
        auto* a = new QAction(Messages::text(key), file);
        a->setShortcut(keys);
        connect(a, &QAction::triggered, this, slot);
        file->insertAction(first, a);
        return a;
    };
    insert("menuRecordSnapshot", QKeySequence(), &ComparisonWindow::recordSnapshot);
    insert("menuOpenSnapshot", QKeySequence(), &ComparisonWindow::openSnapshot);
    insert("menuExport", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), &ComparisonWindow::openExport);
    file->insertSeparator(first);
    insert("menuPreferences", QKeySequence::Preferences, &ComparisonWindow::openPreferences);
    file->insertSeparator(first);

    QMenu* tools = menuBar()->addMenu(Messages::text("menuTools"));
    connect(tools->addAction(Messages::text("menuRules")), &QAction::triggered, this, &ComparisonWindow::openRules);
    m_inspectorAction = tools->addAction(Messages::text("menuInspector"));
    m_inspectorAction->setCheckable(true);
    m_inspectorAction->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_I));
    connect(m_inspectorAction, &QAction::toggled, this, &ComparisonWindow::setInspectorShown);
    tools->addSeparator();
    QMenu* fileMenu = tools->addMenu(Messages::text("menuFileView"));
    for (QAction* a : m_fileTab->optionActions()) fileMenu->addAction(a);
    tools->addSeparator();
    // The application, not one window, owns the update check.
    connect(tools->addAction(Messages::text("menuCheckUpdates")), &QAction::triggered, this,
            &ComparisonWindow::checkForUpdatesRequested);
}

void ComparisonWindow::connectTools() {
    QuorvaneModule& m = *m_module;
    // A Compare of two files moves to the file tab and compares them there.
    connect(&m, &QuorvaneModule::selectedTabChanged, this, [this](int tab) {
        if (tab == WindowState::FileTab) {
            const WindowState& state = m_module->state();
            compareFiles(QFile::decodeName(state.leftPath.c_str()), QFile::decodeName(state.rightPath.c_str()));
        } else {
            showFolderTab();
        }
    });
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        m_module->state().selectedTab = index == 1 ? WindowState::FileTab : WindowState::FolderTab;
        updateActionStates();
    });
    // The inspector follows the selected row, and lets go of it before the tree goes.
    connect(&m, &QuorvaneModule::runStarted, m_inspector, &InspectorPanel::clear);
    connect(&m, &QuorvaneModule::sizesCalculated, m_inspector, &InspectorPanel::refresh);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (m_inspectorDock->isVisible()) m_inspector->showItem(m_model->itemAt(current));
    });
    connect(m_inspectorDock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        m_inspectorAction->setChecked(visible);
        m_inspector->showItem(visible ? m_view->currentItem() : nullptr);
    });
}

bool ComparisonWindow::fileTabShown() const { return m_tabs && m_tabs->currentWidget() == m_fileTab; }

void ComparisonWindow::showFolderTab() { m_tabs->setCurrentIndex(0); }

void ComparisonWindow::showFileTab() { m_tabs->setCurrentWidget(m_fileTab); }

void ComparisonWindow::compareFiles(const QString& left, const QString& right) {
    m_tabs->setCurrentWidget(m_fileTab);
    m_fileTab->setPaths(left, right);
    m_fileTab->compare();
}

void ComparisonWindow::openRow(const QModelIndex& index) {
    KItem* item = m_model->itemAt(index);
    if (!item || m_model->hasChildren(index)) return;
    const bool files = item->hasSide(kSideLeft) && item->hasSide(kSideRight) && !item->iDir1 && !item->iDir2;
    if (!files) return compareSelectedPair();
    compareFiles(QFile::decodeName(item->PathForSide(kSideLeft).c_str()),
                 QFile::decodeName(item->PathForSide(kSideRight).c_str()));
}

void ComparisonWindow::openPreferences() {
    PreferencesDialog dialog(m_settings, this);
    connect(&dialog, &PreferencesDialog::settingsChanged, m_fileTab, &FileCompareTab::applySettings);
    dialog.exec();
    // The option boxes of the window start from the stored choices again.
    m_module->state().loadOptions(m_settings);
}

void ComparisonWindow::openRules() {
    if (!m_module->rulesEditable()) {
        m_prompt->inform(Messages::text("rulesBusy"));
        return;
    }
    RuleEditor editor(*m_module, this);
    editor.exec();
}

void ComparisonWindow::openExport() {
    if (!m_module->iParentItem() || m_module->ComparingFolders()) {
        QApplication::beep();
        return;
    }
    WindowExport::ask(this, *m_module, *m_view, m_settings, *m_prompt);
}

void ComparisonWindow::recordSnapshot() {
    auto* window = new SnapshotRecordWindow(*m_prompt, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &QObject::destroyed, this, [this, window] { m_toolWindows.removeAll(window); });
    m_toolWindows << window;
    window->show();
}

void ComparisonWindow::openSnapshot() {
    const QString file = QFileDialog::getOpenFileName(this, Messages::text("openSnapTitle"), QString(),
                                                      Messages::text("snapshotFilter"));
    if (!file.isEmpty()) showSnapshotPreview(file);
}

void ComparisonWindow::showSnapshotPreview(const QString& file) {
    auto* window = new SnapshotPreviewWindow(file, m_settings, *m_prompt, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &QObject::destroyed, this, [this, window] { m_toolWindows.removeAll(window); });
    m_toolWindows << window;
    window->show();
}

void ComparisonWindow::setInspectorShown(bool shown) { m_inspectorDock->setVisible(shown); }

}  // namespace qv
