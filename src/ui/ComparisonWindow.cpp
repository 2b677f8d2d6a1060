#include "ui/ComparisonWindow.h"

#include "app/QuorvaneModule.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "engine/DiffNavigation.h"
#include "engine/KRootItem.h"
#include "engine/SortOrder.h"
#include "engine/ViewFilter.h"
#include "sync/DragCopyQueue.h"
#include "sync/MergeList.h"
#include "engine/UserPrompt.h"
#include "ui/ActionColumnDelegate.h"
#include "ui/KRenamePopover.h"
#include "ui/TagPopover.h"
#include "ui/ComparisonModel.h"
#include "ui/ComparisonView.h"
#include "ui/DialogPrompt.h"
#include "ui/ExecutionDialog.h"
#include "ui/FileCompareTab.h"
#include "ui/PathField.h"
#include "ui/SortOrderDialog.h"
#include "ui/StateAppearance.h"
#include "ui/SyncDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFile>
#include <QGridLayout>
#include <QHeaderView>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {
namespace {

// The option boxes of a window, the setting each starts from, and its field.
struct OptionBox {
    const char* textKey;
    const char* settingKey;
    bool WindowState::*field;
};

const OptionBox kOptions[] = {
    {"optContents", "optCmpContents", &WindowState::optCmpContents},
    {"optIgnoreDates", "optIgnoreDates", &WindowState::optIgnoreDate},
    {"optIgnore2sec", "optIgnore2secDates", &WindowState::optIgnore2secDate},
    {"optSubfolders", "opCmpSubfolders", &WindowState::optSubfolders},
    {"optHidden", "opCmpHidden", &WindowState::optHidden},
    {"optIncludeLinks", "opIncludeAliases", &WindowState::optIncludeAliases},
    {"optFollowLinks", "opResolveAliases", &WindowState::optResolveAliases},
    {"optAttributes", "opCmpRsrc", &WindowState::optCompareRsrc},
    {"optTags", "opCmpTags", &WindowState::optCompareTags},
};

// The view filter's buttons: the bit each stands for and its shortcut digit.
struct FilterButton {
    const char* textKey;
    unsigned bit;
};

const FilterButton kFilters[] = {
    {"filterEqual", kShowEqual},       {"filterDifferent", kShowDifferent}, {"filterLeftOnly", kShowLeftOnly},
    {"filterRightOnly", kShowRightOnly}, {"filterEmptyFolders", kShowEmptyFolders}, {"filterIgnored", kShowIgnored},
};

QString pathText(const std::string& path) { return QFile::decodeName(path.c_str()); }

}  // namespace

ComparisonWindow::ComparisonWindow(Settings& settings, std::unique_ptr<UserPrompt> prompt, platform::FileSystem& fs,
                                   QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_ownPrompt(std::move(prompt)) {
    if (!m_ownPrompt) m_ownPrompt = std::make_unique<DialogPrompt>(this);
    m_ownModule = std::make_unique<QuorvaneModule>(*m_ownPrompt, settings, fs);
    m_prompt = m_ownPrompt.get();
    m_module = m_ownModule.get();
    build();
}

ComparisonWindow::ComparisonWindow(Settings& settings, QuorvaneModule& module, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_prompt(&module.prompt()), m_module(&module) {
    build();
    showControllerState();
}

void ComparisonWindow::build() {
    m_model = new ComparisonModel(*m_module, this);
    m_view = new ComparisonView(*m_model, this);
    setWindowTitle(QStringLiteral("Quorvane"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    buildActions();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->addWidget(buildPathBar());
    layout->addWidget(buildStatusHeader());
    layout->addWidget(m_view, 1);
    layout->addWidget(buildMessageLines());
    setCentralWidget(buildTabs(central));
    buildMenus();
    buildToolMenus();
    buildToolBar();
    resize(1100, 700);

    QuorvaneModule& m = *m_module;
    connect(&m, &QuorvaneModule::runStarted, this, &ComparisonWindow::runStarted);
    connect(&m, &QuorvaneModule::compareThreadFinished, this, &ComparisonWindow::runFinished);
    const ComparisonStatus& status = m.status();
    connect(&status, &ComparisonStatus::headerChanged, this, &ComparisonWindow::showStatus);
    connect(&status, &ComparisonStatus::messagesChanged, this, &ComparisonWindow::showStatus);
    connect(&status, &ComparisonStatus::progressChanged, this, &ComparisonWindow::showProgress);
    connect(&status, &ComparisonStatus::buttonsChanged, this, &ComparisonWindow::updateActionStates);
    connect(&status, &ComparisonStatus::badgeChanged, this, &ComparisonWindow::updateActionStates);
    connect(&m, &QuorvaneModule::actionsChanged, m_view->viewport(), qOverload<>(&QWidget::update));
    connect(&m, &QuorvaneModule::pathsChanged, this, [this] { setPaths(m_module->state().leftPath, m_module->state().rightPath); });
    connect(&m, &QuorvaneModule::openComparisonRequested, this, [this](const QString& left, const QString& right) {
        emit openPairRequested(QFile::encodeName(left).toStdString(), QFile::encodeName(right).toStdString());
    });
    connect(m_view, &QTreeView::expanded, this, [this](const QModelIndex& i) { m_module->setExpanded(m_model->itemAt(i), true); });
    connect(m_view, &QTreeView::collapsed, this, [this](const QModelIndex& i) { m_module->setExpanded(m_model->itemAt(i), false); });
    connect(m_view, &ComparisonView::contextMenuForSide, this, &ComparisonWindow::showContextMenu);
    m_view->setDropHandler([this](KItem* item, int side, const std::vector<std::string>& paths, bool commit) {
        return commit ? m_module->acceptDrop(item, side, paths) : m_module->canDropOn(item, side, paths);
    });
    watchDropCopies();
    m_view->header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_view->header(), &QWidget::customContextMenuRequested, this, &ComparisonWindow::showColumnMenu);
    connect(&m_view->actionDelegate(), &ActionColumnDelegate::buttonPressed, this,
            [this](const QModelIndex& index, int side) {
                if (!m_view->selectionModel()->isRowSelected(index.row(), index.parent()))
                    m_view->setCurrentIndex(index);
                pressActionButton(BtnCopy, side);
            });
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ComparisonWindow::updateActionStates);
    connect(m_view, &QTreeView::doubleClicked, this, &ComparisonWindow::openRow);
    connect(m_leftPath, &PathField::submitted, this, &ComparisonWindow::compare);
    connect(m_rightPath, &PathField::submitted, this, &ComparisonWindow::compare);
    connectTools();
    showStatus();
    updateActionStates();
}

ComparisonWindow::~ComparisonWindow() {
    // The view may still lay out rows while the widgets go; it must find none,
    // and nothing the controller still reports while it stops may reach them.
    m_module->status().disconnect(this);
    m_module->disconnect(this);
    if (m_inspectorDock) m_inspectorDock->disconnect(this);   // the dock hides as the widgets go
    m_model->detach();
    m_ownModule.reset();   // joins the controller's threads (a borrowed controller runs on)
}

void ComparisonWindow::showControllerState() {
    const WindowState& state = m_module->state();
    setPaths(state.leftPath, state.rightPath);
    if (m_module->iParentItem() || m_module->ComparingFolders()) runStarted();
    if (state.selectedTab == WindowState::FileTab) {
        m_fileTab->setPaths(pathText(state.leftPath), pathText(state.rightPath));
        showFileTab();
    }
}

void ComparisonWindow::buildActions() {
    m_compareAction = new QAction(Messages::text("compareBtn"), this);
    m_compareAction->setShortcuts({QKeySequence(Qt::Key_F5), QKeySequence(Qt::CTRL | Qt::Key_R)});
    m_compareAction->setIcon(QIcon::fromTheme(QStringLiteral("view-refresh"), style()->standardIcon(QStyle::SP_BrowserReload)));
    connect(m_compareAction, &QAction::triggered, this, &ComparisonWindow::compare);
    m_swapAction = new QAction(Messages::text("swapSides"), this);
    m_swapAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    m_swapAction->setIcon(QIcon::fromTheme(QStringLiteral("object-flip-horizontal"), style()->standardIcon(QStyle::SP_BrowserReload)));
    connect(m_swapAction, &QAction::triggered, this, &ComparisonWindow::swapSides);
    m_nextAction = new QAction(Messages::text("nextDiff"), this);
    m_nextAction->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Down), QKeySequence(Qt::Key_F8)});
    m_nextAction->setIcon(QIcon::fromTheme(QStringLiteral("go-down"), style()->standardIcon(QStyle::SP_ArrowDown)));
    connect(m_nextAction, &QAction::triggered, this, &ComparisonWindow::nextDifference);
    m_prevAction = new QAction(Messages::text("prevDiff"), this);
    m_prevAction->setShortcuts({QKeySequence(Qt::ALT | Qt::Key_Up), QKeySequence(Qt::SHIFT | Qt::Key_F8)});
    m_prevAction->setIcon(QIcon::fromTheme(QStringLiteral("go-up"), style()->standardIcon(QStyle::SP_ArrowUp)));
    connect(m_prevAction, &QAction::triggered, this, &ComparisonWindow::previousDifference);
    m_syncAction = new QAction(Messages::text("syncMenu"), this);
    m_syncAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    m_syncAction->setIcon(QIcon::fromTheme(QStringLiteral("view-refresh"), style()->standardIcon(QStyle::SP_FileDialogDetailedView)));
    connect(m_syncAction, &QAction::triggered, this, &ComparisonWindow::openSyncDialog);
    m_executeAction = new QAction(Messages::text("executeMenu"), this);
    m_executeAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    m_executeAction->setIcon(QIcon::fromTheme(QStringLiteral("system-run"), style()->standardIcon(QStyle::SP_MediaPlay)));
    connect(m_executeAction, &QAction::triggered, this, &ComparisonWindow::openExecutionDialog);
    m_clearAction = new QAction(Messages::text("clearActions"), this);
    m_clearAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backspace));
    connect(m_clearAction, &QAction::triggered, this, &ComparisonWindow::clearActions);
}

QAction* ComparisonWindow::addAction(QMenu* menu, const char* textKey, const QKeySequence& shortcut,
                                     void (ComparisonWindow::*slot)()) {
    QAction* action = menu->addAction(Messages::text(textKey));
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void ComparisonWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(Messages::text("menuFile"));
    QAction* close = file->addAction(Messages::text("closeWindow"));
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    QAction* quit = file->addAction(Messages::text("quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, &ComparisonWindow::quitRequested);

    QMenu* compareMenu = menuBar()->addMenu(Messages::text("menuCompare"));
    compareMenu->addAction(m_compareAction);
    compareMenu->addAction(m_swapAction);
    QAction* focusLeft = compareMenu->addAction(Messages::text("focusLeft"));
    focusLeft->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(focusLeft, &QAction::triggered, this, [this] { m_leftPath->setFocus(); });
    QAction* focusRight = compareMenu->addAction(Messages::text("focusRight"));
    focusRight->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
    connect(focusRight, &QAction::triggered, this, [this] { m_rightPath->setFocus(); });
    compareMenu->addSeparator();
    buildOptionActions(compareMenu->addMenu(Messages::text("menuOptions")));
    m_rowActions << addAction(compareMenu, "comparePairWindow", QKeySequence(Qt::CTRL | Qt::Key_O),
                              &ComparisonWindow::compareSelectedPair);

    QMenu* viewMenu = menuBar()->addMenu(Messages::text("menuView"));
    buildFilterActions(viewMenu);
    viewMenu->addSeparator();
    addAction(viewMenu, "expandAll", QKeySequence(Qt::CTRL | Qt::Key_Plus), &ComparisonWindow::expandAll);
    addAction(viewMenu, "sortOrderMenu", QKeySequence(), &ComparisonWindow::editStateOrder);
    QAction* collapse = viewMenu->addAction(Messages::text("collapseAll"));
    collapse->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    connect(collapse, &QAction::triggered, m_view, &QTreeView::collapseAll);

    QMenu* go = menuBar()->addMenu(Messages::text("menuGo"));
    go->addAction(m_nextAction);
    go->addAction(m_prevAction);

    QMenu* actions = menuBar()->addMenu(Messages::text("menuActions"));
    buildSideActions(actions, kSideLeft);
    actions->addSeparator();
    buildSideActions(actions, kSideRight);
    actions->addSeparator();
    m_rowActions << addIgnoreActions(actions);
    actions->addSeparator();
    actions->addAction(m_clearAction);
    actions->addAction(m_syncAction);
    actions->addAction(m_executeAction);
}

void ComparisonWindow::buildSideActions(QMenu* menu, int side) {
    // Each entry presses the side's action button with a kind, as the
    // button's own menu does. Shortcuts use the arrow that points where the
    // data goes: Ctrl+Shift+Right copies from the left to the right.
    const bool left = side == kSideLeft;
    struct Entry {
        const char* leftKey;
        const char* rightKey;
        int kind;
        QKeySequence leftKeys, rightKeys;
    };
    const Entry entries[] = {
        {"menuCopyToRight", "menuCopyToLeft", BtnCopy, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Right),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Left)},
        {"menuCopyDiffToRight", "menuCopyDiffToLeft", BtnCopyOnlyDiff,
         QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_Right), QKeySequence(Qt::CTRL | Qt::ALT | Qt::SHIFT | Qt::Key_Left)},
        {"menuAttrsToRight", "menuAttrsToLeft", BtnCopyAttrs, {}, {}},
        {"menuLinkOnRight", "menuLinkOnLeft", BtnAlias, {}, {}},
        {"menuDeleteLeft", "menuDeleteRight", BtnDelete, QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Left),
         QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_Right)},
    };
    for (const Entry& e : entries) {
        QAction* a = menu->addAction(Messages::text(left ? e.leftKey : e.rightKey));
        a->setShortcut(left ? e.leftKeys : e.rightKeys);
        a->setShortcutContext(Qt::WindowShortcut);
        const int kind = e.kind;
        connect(a, &QAction::triggered, this, [this, kind, side] { pressActionButton(kind, side); });
        m_rowActions << a;
    }
    // These two ask for the new name first.
    for (const auto& [kind, key] : {std::pair{int(BtnCopyAs), left ? "menuCopyAsToRight" : "menuCopyAsToLeft"},
                                    std::pair{int(BtnRename), left ? "menuRenameLeft" : "menuRenameRight"}}) {
        QAction* a = menu->addAction(Messages::text(key));
        connect(a, &QAction::triggered, this, [this, kind = kind, side] { openRenamePopover(kind, side); });
        m_rowActions << a;
    }
}

void ComparisonWindow::buildFilterActions(QMenu* menu) {
    const unsigned filter = m_module->iModuleFilter();
    int digit = 1;
    for (const FilterButton& f : kFilters) {
        QAction* a = menu->addAction(Messages::text(f.textKey));
        a->setCheckable(true);
        a->setChecked(filter == kFilterOff || (filter & f.bit));
        a->setData(f.bit);
        a->setShortcut(QKeySequence(Qt::CTRL | (Qt::Key_0 + digit++)));
        connect(a, &QAction::toggled, this, &ComparisonWindow::applyFilter);
        m_filterActions << a;
    }
}

void ComparisonWindow::buildOptionActions(QMenu* menu) {
    for (const OptionBox& o : kOptions) {
        QAction* a = menu->addAction(Messages::text(o.textKey));
        a->setCheckable(true);
        a->setChecked(m_module->state().*(o.field));
        bool WindowState::*field = o.field;
        const QString key = QString::fromLatin1(o.settingKey);
        connect(a, &QAction::toggled, this, [this, field, key](bool on) {
            m_module->state().*field = on;
            m_settings.store(key, on);   // the next window starts from the same choice
        });
    }
}

void ComparisonWindow::buildToolBar() {
    QToolBar* bar = addToolBar(Messages::text("toolbar"));
    bar->setObjectName(QStringLiteral("mainToolBar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->addAction(m_compareAction);
    bar->addSeparator();
    bar->addAction(m_prevAction);
    bar->addAction(m_nextAction);
    bar->addSeparator();
    bar->addAction(m_syncAction);
    bar->addAction(m_executeAction);
    bar->addSeparator();
    for (QAction* a : m_filterActions) bar->addAction(a);
    // The button that shows the actions a narrow window has no room for.
    if (auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(Messages::text("moreTools"));
}

QWidget* ComparisonWindow::buildPathBar() {
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    m_leftPath = new PathField(Messages::text("leftFolder"), m_settings, bar);
    m_rightPath = new PathField(Messages::text("rightFolder"), m_settings, bar);
    auto* swap = new QToolButton(bar);
    swap->setDefaultAction(m_swapAction);
    swap->setToolButtonStyle(Qt::ToolButtonIconOnly);
    swap->setAccessibleName(m_swapAction->text());
    layout->addWidget(m_leftPath, 1);
    layout->addWidget(swap);
    layout->addWidget(m_rightPath, 1);
    return bar;
}

QWidget* ComparisonWindow::buildStatusHeader() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    m_header = new QLabel(box);
    m_header->setAccessibleName(Messages::text("a11yStatus"));
    m_header->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_header->font();
    bold.setBold(true);
    m_header->setFont(bold);
    m_progress = new QProgressBar(box);
    m_progress->setAccessibleName(Messages::text("a11yProgress"));
    m_progress->setMaximumWidth(240);
    m_progress->setTextVisible(false);
    m_progress->hide();
    layout->addWidget(m_header, 1);
    layout->addWidget(m_progress);
    return box;
}

QWidget* ComparisonWindow::buildMessageLines() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    m_leftMessage = new QLabel(box);
    m_rightMessage = new QLabel(box);
    m_leftMessage->setAccessibleName(Messages::text("a11yLeftMessage"));
    m_rightMessage->setAccessibleName(Messages::text("a11yRightMessage"));
    m_rightMessage->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_leftMessage, 1);
    layout->addWidget(m_rightMessage, 1);
    return box;
}

void ComparisonWindow::setPaths(const std::string& left, const std::string& right) {
    m_leftPath->setPath(left);
    m_rightPath->setPath(right);
}

void ComparisonWindow::compare() {
    if (fileTabShown()) return m_fileTab->compare();
    if (m_module->ComparingFolders()) {
        m_module->Cancel();
        return;
    }
    WindowState& state = m_module->state();
    state.leftPath = m_leftPath->path();
    state.rightPath = m_rightPath->path();
    const bool started = m_module->Compare();
    // The controller normalises the paths (links resolved, slashes trimmed).
    setPaths(state.leftPath, state.rightPath);
    if (started && m_module->rootsNested()) m_prompt->inform(Messages::text("nestedFolders"), Messages::text("nestedFolders1"));
    updateActionStates();
}

void ComparisonWindow::runStarted() {
    setWindowTitle(QStringLiteral("%1 ↔ %2 — Quorvane")
                       .arg(QFile::decodeName(m_leftPath->path().c_str()).section('/', -1),
                            QFile::decodeName(m_rightPath->path().c_str()).section('/', -1)));
}

void ComparisonWindow::runFinished(bool completed) {
    m_leftPath->reloadHistory();
    m_rightPath->reloadHistory();
    // The rows that were open before the run, opened again.
    if (completed)
        for (KItem* item : m_module->restoredExpandedItems()) m_view->expand(m_model->indexOf(item));
}

// A message line as rich text: numbers in bold, those that differ between the sides in red.
QString ComparisonWindow::lineText(const ComparisonStatus::Line& line) const {
    const QString red = verdictColor(Verdict::Different, palette()).name();
    QString html;
    for (const ComparisonStatus::Segment& segment : line.segments) {
        QString text = segment.text.toHtmlEscaped();
        if (segment.number) text = QStringLiteral("<b>%1</b>").arg(text);
        if (segment.differs) text = QStringLiteral("<span style=\"color:%1\">%2</span>").arg(red, text);
        html += text;
    }
    return html;
}

void ComparisonWindow::showStatus() {
    const ComparisonStatus& s = m_module->status();
    m_header->setText(s.header());
    m_header->setToolTip(s.headerTooltip());
    Verdict verdict = Verdict::Neutral;
    if (s.headerRole() == ComparisonStatus::Role::Equal) verdict = Verdict::Equal;
    else if (s.headerRole() == ComparisonStatus::Role::Different || s.headerRole() == ComparisonStatus::Role::Error)
        verdict = Verdict::Different;
    QPalette p = m_header->palette();
    p.setColor(QPalette::WindowText, verdictColor(verdict, palette()));
    m_header->setPalette(p);
    m_leftMessage->setText(lineText(s.leftLine()));
    m_rightMessage->setText(lineText(s.rightLine()));
    m_leftMessage->setToolTip(s.leftLine().tooltip);
    m_rightMessage->setToolTip(s.rightLine().tooltip);
}

void ComparisonWindow::showProgress() {
    const ComparisonStatus& s = m_module->status();
    m_progress->setVisible(s.progressVisible());
    if (s.progressIndeterminate()) {
        m_progress->setRange(0, 0);
    } else {
        m_progress->setRange(0, 1000);
        m_progress->setValue(static_cast<int>(s.progressValue() * 1000));
    }
}

void ComparisonWindow::updateActionStates() {
    const ComparisonStatus::Buttons& b = m_module->status().buttons();
    m_compareAction->setEnabled(b.compare);
    m_compareAction->setText(Messages::text(b.stop ? "StopBtn" : "compareBtn"));
    m_compareAction->setIcon(b.stop ? QIcon::fromTheme(QStringLiteral("process-stop"), style()->standardIcon(QStyle::SP_BrowserStop))
                                    : QIcon::fromTheme(QStringLiteral("view-refresh"), style()->standardIcon(QStyle::SP_BrowserReload)));
    const bool selection = b.sync && m_view->selectionModel()->hasSelection();
    for (QAction* a : m_rowActions) a->setEnabled(selection);
    // On the file tab they step through the changes of the two files (and beep at the ends).
    m_nextAction->setEnabled(b.nextDiff || fileTabShown());
    m_prevAction->setEnabled(b.prevDiff || fileTabShown());
    m_swapAction->setEnabled(b.controls);
    m_leftPath->setEnabled(b.controls);
    m_rightPath->setEnabled(b.controls);
    m_syncAction->setEnabled(b.controls);
    m_executeAction->setEnabled(b.execute);
    const QString badge = m_module->status().badge();
    m_executeAction->setText(badge.isEmpty() ? Messages::text("executeMenu") : Messages::format("executeMenuCount", badge));
    m_clearAction->setEnabled(b.execute);
}

void ComparisonWindow::applyFilter() {
    unsigned filter = 0;
    for (QAction* a : m_filterActions)
        if (a->isChecked()) filter |= a->data().toUInt();
    // Every button on means no filtering at all.
    const unsigned all = kShowEqual | kShowDifferent | kShowLeftOnly | kShowRightOnly | kShowEmptyFolders | kShowIgnored;
    if (filter == all) filter = kFilterOff;
    m_model->beginRelayout();
    m_module->setIModuleFilter(filter);
    m_settings.store(QStringLiteral("filterKeys"), static_cast<int>(filter));
    m_model->endRelayout();
}

void ComparisonWindow::swapSides() {
    m_module->state().leftPath = m_leftPath->path();
    m_module->state().rightPath = m_rightPath->path();
    m_module->ExchangeFolders();
}

void ComparisonWindow::nextDifference() { stepToDifference(true); }

void ComparisonWindow::previousDifference() { stepToDifference(false); }

void ComparisonWindow::stepToDifference(bool forward) {
    if (fileTabShown()) return forward ? m_fileTab->nextChange() : m_fileTab->previousChange();
    if (!m_module->iParentItem() || m_module->ComparingFolders()) return;
    // From the selected row, or from the top when nothing is selected.
    const std::vector<KItem*> selected = m_view->selectedItems();
    KItem* from = selected.empty() ? m_module->iParentItem() : m_view->currentItem();
    if (!from) from = selected.front();
    KItem* found = forward ? GetNextDiff(from, true, m_module->view()) : GetPrevDiff(from, true, m_module->view());
    if (found) m_view->reveal(found, forward);
    else QApplication::beep();
}

void ComparisonWindow::pressActionButton(int kind, int side) {
    if (m_module->ComparingFolders() || !m_module->iParentItem()) return;
    KItem* row = m_view->currentItem();
    const std::vector<KItem*> selection = m_view->selectedItems();
    if (!row && !selection.empty()) row = selection.front();
    if (!row) return;
    m_module->SetItemsForRow(row, selection, kind, side);
}

// The rectangle of an item's row on screen, for a panel to open below it.
static QRect rowRectOnScreen(ComparisonView& view, ComparisonModel& model, KItem* item) {
    const QRect r = view.visualRect(model.indexOf(item));
    return QRect(view.viewport()->mapToGlobal(r.topLeft()), r.size());
}

void ComparisonWindow::openRenamePopover(int kind, int side) {
    if (m_module->ComparingFolders() || !m_module->iParentItem()) return;
    KItem* row = m_view->currentItem();
    const std::vector<KItem*> selection = m_view->selectedItems();
    if (!row && !selection.empty()) row = selection.front();
    if (!row || !row->hasSide(side)) return;
    if (!m_renamePopover) m_renamePopover = new KRenamePopover(*m_module, m_settings, this);
    m_renamePopover->OpenRenamePopup(row, selection, kind, side, rowRectOnScreen(*m_view, *m_model, row));
}

TagPopover* ComparisonWindow::tagPopover() const { return m_tagPopover; }

void ComparisonWindow::openTagPopover(int side) {
    if (m_module->ComparingFolders() || !m_module->iParentItem()) return;
    std::vector<KItem*> items;
    std::vector<std::string> paths;
    for (KItem* item : m_view->selectedItems())
        if (item->hasSide(side)) items.push_back(item), paths.push_back(item->PathForSide(side));
    if (items.empty()) return;
    // Saved when it closes, then gone; the rows show the new tags at once.
    auto* popover = new TagPopover(
        [this, items, side](const std::vector<TagWriteFailure>& failures) {
            m_module->UpdateTagsForSide(items, side);
            if (failures.empty()) return;
            QStringList lines;
            for (const TagWriteFailure& f : failures)
                lines << Messages::format("cliTagsFailed", QString::fromStdString(f.path), TagEditor::failureText(f));
            m_module->prompt().inform(Messages::text("tagsNotWritten"), lines.join(QLatin1Char('\n')));
        },
        this);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    m_tagPopover = popover;
    popover->OpenTagsPopupFor(paths, rowRectOnScreen(*m_view, *m_model, items.front()));
}

void ComparisonWindow::showContextMenu(const QPoint& globalPos, int side) {
    if (!m_module->iParentItem() || m_module->ComparingFolders()) return;
    QMenu menu(this);
    if (side == 0 || side == kSideLeft) buildSideActions(&menu, kSideLeft);
    if (side == 0) menu.addSeparator();
    if (side == 0 || side == kSideRight) buildSideActions(&menu, kSideRight);
    menu.addSeparator();
    for (int tagSide : {kSideLeft, kSideRight}) {
        if (side != 0 && side != tagSide) continue;
        QAction* tags = menu.addAction(Messages::text(tagSide == kSideLeft ? "menuTagsLeft" : "menuTagsRight"));
        connect(tags, &QAction::triggered, this, [this, tagSide] { openTagPopover(tagSide); });
    }
    addIgnoreActions(&menu);
    menu.addSeparator();
    QAction* pair = menu.addAction(Messages::text("comparePairWindow"));
    connect(pair, &QAction::triggered, this, &ComparisonWindow::compareSelectedPair);
    // The entries built for this menu must not stay among the window's row actions.
    const QList<QAction*> own = menu.actions();
    menu.exec(globalPos);
    for (QAction* a : own) m_rowActions.removeAll(a);
}

QList<QAction*> ComparisonWindow::addIgnoreActions(QMenu* menu) {
    QAction* ignore = menu->addAction(Messages::text("menuIgnore"));
    ignore->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    connect(ignore, &QAction::triggered, this, [this] { setIgnored(true); });
    QAction* include = menu->addAction(Messages::text("menuUnignore"));
    include->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I));
    connect(include, &QAction::triggered, this, [this] { setIgnored(false); });
    return {ignore, include};
}

void ComparisonWindow::setIgnored(bool ignored) {
    if (m_module->ComparingFolders()) return;
    for (KItem* item : m_view->selectedItems()) m_module->SetIgnored(item, ignored, true);
}

void ComparisonWindow::showColumnMenu(const QPoint& pos) {
    // The optional columns, each one pair of a left and a right column.
    QMenu menu(this);
    for (int column = ComparisonModel::kFirstOptional; column < ComparisonModel::ColumnCount; column += 2) {
        QAction* a = menu.addAction(m_model->headerData(column, Qt::Horizontal).toString());
        a->setCheckable(true);
        a->setChecked(!m_view->isColumnHidden(column));
        connect(a, &QAction::toggled, this, [this, column](bool on) { showOptionalColumn(column, on); });
    }
    menu.exec(m_view->header()->mapToGlobal(pos));
}

void ComparisonWindow::showOptionalColumn(int column, bool on) {
    m_view->setColumnHidden(column, !on);
    m_view->setColumnHidden(column + 1, !on);
    const std::uint32_t bit = ComparisonModel::optionalBitOf(column);
    // Switched on, the tree on screen reads what it lacks; every later run reads it too.
    if (on) m_module->AddColumns(bit);
    else m_module->setIColumns(m_module->iColumns() & ~bit);
}

void ComparisonWindow::watchDropCopies() {
    DragCopyQueue& queue = m_module->copyQueue();
    connect(&queue, &DragCopyQueue::started, this, [this] {
        m_dropFailures.clear();
        m_progress->setRange(0, 1000);
        m_progress->setValue(0);
        m_progress->show();
    });
    connect(&queue, &DragCopyQueue::itemStarted, this, [this](const QString& name, int left) {
        statusBar()->showMessage(Messages::format("dropCopying", QString::number(left), name));
    });
    connect(&queue, &DragCopyQueue::progress, this, [this](quint64 done, quint64 total) {
        m_progress->setValue(total ? static_cast<int>(1000.0 * double(done) / double(total)) : 0);
    });
    connect(&queue, &DragCopyQueue::itemFinished, this, [this](const QString& destination, const QString& error) {
        if (!error.isEmpty()) m_dropFailures << destination + QStringLiteral(": ") + error;
        m_module->entryCopied(QFile::encodeName(destination).toStdString());
    });
    connect(&queue, &DragCopyQueue::finished, this, [this](int failures) {
        m_progress->hide();
        if (failures == 0) {
            statusBar()->clearMessage();
            return;
        }
        statusBar()->showMessage(Messages::format("dropFailed", QString::number(failures)));
        statusBar()->setToolTip(m_dropFailures.join('\n'));
    });
    connect(m_module, &QuorvaneModule::rowsUpdated, m_model, &ComparisonModel::refreshValues);
}

void ComparisonWindow::compareSelectedPair() {
    KItem* item = m_view->currentItem();
    if (!item || !item->hasSide(kSideLeft) || !item->hasSide(kSideRight)) {
        QApplication::beep();
        return;
    }
    m_module->CompareItem1(item->PathForSide(kSideLeft), item->PathForSide(kSideRight));
}

void ComparisonWindow::clearActions() {
    m_module->mergeList().ClearActions(m_module->iParentItem());
    m_module->mergeList().UpdateMergedArrayFromCHildren(m_module->iParentItem());
    m_module->MergeItemsUpdated();
}

void ComparisonWindow::expandAll() {
    // Opening everything lists one-sided folders too; a big tree takes a moment.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_view->expandAll();
    QApplication::restoreOverrideCursor();
}

void ComparisonWindow::editStateOrder() {
    SortOrderDialog dialog(m_module->iCustomSort(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    m_module->setICustomSort(dialog.order());
    m_module->SafeResort(kColumnState, true);
}

bool ComparisonWindow::refuseNested() {
    if (!m_module->rootsNested()) return false;
    m_prompt->inform(Messages::text("nestedSync"), Messages::text("nestedFolders1"));
    return true;
}

void ComparisonWindow::openSyncDialog() {
    if (m_module->ComparingFolders() || refuseNested()) return;
    SyncDialog dialog(m_settings, m_module->iParentItem() != nullptr, this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!m_module->iParentItem()) {
        compare();
        return;
    }
    const std::vector<std::string> notSynced = m_module->StartMirror2(dialog.syncType(), dialog.mirror());
    if (!notSynced.empty()) {
        QStringList lines;
        for (const std::string& line : notSynced) lines << pathText(line);
        QMessageBox box(QMessageBox::Information, QStringLiteral("Quorvane"), Messages::text("notSyncedTitle"),
                        QMessageBox::Ok, this);
        box.setDetailedText(lines.join('\n'));
        box.exec();
    }
    if (m_module->mergeList().iMergeItems().empty()) {
        QMessageBox::information(this, QStringLiteral("Quorvane"), Messages::text("mirrSyncMsg4"));
        return;
    }
    openExecutionDialog();
}

void ComparisonWindow::openExecutionDialog() {
    if (!m_executeAction->isEnabled() || refuseNested()) return;
    ExecutionDialog dialog(*m_module, m_settings, this);
    dialog.exec();
    m_view->viewport()->update();
    if (dialog.compareAgain()) {
        m_module->mergeList().ClearMerge();
        compare();
    }
}

void ComparisonWindow::closeEvent(QCloseEvent* event) {
    // Closing mid-run stops the threads; the controller waits for them when it goes.
    m_module->Cancel();
    event->accept();
    emit closing();
}

void ComparisonWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) {
        showStatus();
        m_view->viewport()->update();
    }
    QMainWindow::changeEvent(event);
}

}  // namespace qv
