#include "ui/FileCompareTab.h"

#include "app/FileComparisonSession.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "ui/FindBar.h"
#include "ui/Formatting.h"
#include "ui/HexRowsModel.h"
#include "ui/KFileTableView.h"
#include "ui/KMiniMap.h"
#include "ui/MergePreviewModel.h"
#include "ui/PathField.h"
#include "ui/StateAppearance.h"
#include "ui/TextRowsModel.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QProgressBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace qv {
namespace {

QString fromBytes(const std::string& path) { return QFile::decodeName(path.c_str()); }

// The view settings that "reset" puts back.
const char* const kViewKeys[] = {"fcInvertColors", "fcChgTxtColor", "fcAddTxtColor", "fcHighBcg", "fcFont", "fcWordWrap"};

QToolButton* toolButton(QWidget* parent, QAction* action) {
    auto* b = new QToolButton(parent);
    b->setDefaultAction(action);
    b->setAutoRaise(true);
    b->setAccessibleName(action->text());
    return b;
}

}  // namespace

FileCompareTab::FileCompareTab(FileComparisonSession& session, Settings& settings, QWidget* parent)
    : QWidget(parent), m_session(session), m_settings(settings), m_text(new TextRowsModel(this)),
      m_hex(new HexRowsModel(this)), m_mergeModel(new MergePreviewModel(session, this)) {
    m_view = new KFileTableView(settings, this);
    m_view->setLinesModel(m_text);
    m_miniMap = new KMiniMap(this);
    m_findBar = new FindBar(settings, this);
    m_findBar->hide();
    m_mergeList = new QListView(this);
    m_mergeList->setModel(m_mergeModel);
    m_mergeList->setUniformItemSizes(true);
    m_mergeList->setAccessibleName(Messages::text("a11yMergePreview"));
    m_mergeList->setSelectionMode(QAbstractItemView::NoSelection);

    auto* files = new QWidget(this);
    auto* filesLayout = new QHBoxLayout(files);
    filesLayout->setContentsMargins(0, 0, 0, 0);
    filesLayout->setSpacing(2);
    filesLayout->addWidget(m_view, 1);
    filesLayout->addWidget(m_miniMap);
    m_split = new QSplitter(Qt::Vertical, this);
    m_split->addWidget(files);
    m_split->addWidget(m_mergeList);
    m_split->setStretchFactor(0, 3);
    m_split->setStretchFactor(1, 1);
    m_mergeList->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildPathBar());
    layout->addWidget(buildStatus());
    layout->addWidget(m_info = new QLabel(this));
    m_info->setAccessibleName(Messages::text("a11yFileInfo"));
    m_info->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(buildOptionBar());
    layout->addWidget(m_findBar);
    layout->addWidget(m_split, 1);

    connect(&session, &FileComparisonSession::comparisonStarted, this, &FileCompareTab::comparisonStarted);
    connect(&session, &FileComparisonSession::comparisonFinished, this, &FileCompareTab::comparisonFinished);
    connect(&session, &FileComparisonSession::statusChanged, this, &FileCompareTab::showStatus);
    connect(&session, &FileComparisonSession::currentChangeChanged, this, &FileCompareTab::showCurrentChange);
    connect(&session, &FileComparisonSession::mergeChanged, this, &FileCompareTab::updateControls);
    connect(m_view, &KFileTableView::visibleSpanChanged, this, [this] {
        if (m_view->linesModel() == m_text) {
            const auto [top, height] = m_view->visibleSpan();
            m_miniMap->setVisibleSpan(top, height);
        } else if (const HexPages* pages = m_hex->pages(); pages && pages->iNumOfLines()) {
            const auto [top, height] = m_view->visibleSpan();
            const double lines = double(pages->iNumOfLines()), pageLines = double(m_hex->rowCount());
            m_miniMap->setVisibleSpan((m_hex->firstLine() + top * pageLines) / lines, height * pageLines / lines);
        }
    });
    connect(m_miniMap, &KMiniMap::jumpRequested, this, [this](double fraction) {
        const HexPages* pages = m_view->linesModel() == m_hex ? m_hex->pages() : nullptr;
        if (!pages) return m_view->scrollToFraction(fraction);
        const auto line = std::min<std::uint64_t>(std::uint64_t(fraction * double(pages->iNumOfLines())),
                                                  pages->iNumOfLines() ? pages->iNumOfLines() - 1 : 0);
        showHexPage(line / HexPages::kLinesPerPage);
        m_view->scrollToFraction(double(line - m_hex->firstLine()) / std::max(1, m_hex->rowCount()));
    });
    connect(m_view, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) { rowActivated(index.row()); });
    connect(m_findBar, &FindBar::findRequested, this, &FileCompareTab::find);
    connect(m_findBar, &FindBar::searchChanged, this, [this] {
        m_lastFound.reset();
        m_findBar->setNote({});
    });
    connect(m_findBar, &FindBar::closed, this, [this] {
        m_view->setFound({});
        m_view->setFocus();
    });
    applySettings();
    setPaths(m_session.path(0), m_session.path(1));
    showStatus();
    updateControls();
}

QWidget* FileCompareTab::buildPathBar() {
    auto* bar = new QWidget(this);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    m_leftPath = new PathField(Messages::text("leftFile"), m_settings, bar, PathField::Kind::File);
    m_rightPath = new PathField(Messages::text("rightFile"), m_settings, bar, PathField::Kind::File);
    m_type = new QComboBox(bar);
    m_type->setAccessibleName(Messages::text("fcType"));
    m_type->setToolTip(Messages::text("fcType"));
    for (const char* key : {"fcTypeAuto", "fcTypeText", "fcTypeHex", "fcTypeQuick"}) m_type->addItem(Messages::text(key));
    m_type->setCurrentIndex(int(m_session.fileType()));
    m_compareButton = new QToolButton(bar);
    m_compareButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    layout->addWidget(m_leftPath, 1);
    layout->addWidget(m_rightPath, 1);
    layout->addWidget(m_type);
    layout->addWidget(m_compareButton);
    connect(m_leftPath, &PathField::submitted, this, &FileCompareTab::compare);
    connect(m_rightPath, &PathField::submitted, this, &FileCompareTab::compare);
    connect(m_compareButton, &QToolButton::clicked, this, &FileCompareTab::compare);
    connect(m_type, &QComboBox::activated, this, [this](int type) {
        m_session.FileType(FileCompareType(type));
        // A pair on screen is shown again the way asked for.
        if (m_session.result() && !m_session.running()) compare();
    });
    return bar;
}

QWidget* FileCompareTab::buildStatus() {
    auto* box = new QWidget(this);
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    m_status = new QLabel(box);
    m_status->setAccessibleName(Messages::text("a11yFileStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = m_status->font();
    bold.setBold(true);
    m_status->setFont(bold);
    m_differences = new QLabel(box);
    m_differences->setAccessibleName(Messages::text("a11yDifferenceCount"));
    m_progress = new QProgressBar(box);
    m_progress->setAccessibleName(Messages::text("a11yProgress"));
    m_progress->setRange(0, 0);
    m_progress->setMaximumWidth(200);
    m_progress->setTextVisible(false);
    m_progress->hide();
    layout->addWidget(m_status, 1);
    layout->addWidget(m_differences);
    layout->addWidget(m_progress);
    return box;
}

QWidget* FileCompareTab::buildOptionBar() {
    m_optionBar = new QWidget(this);
    auto* layout = new QHBoxLayout(m_optionBar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    QStyle* st = style();
    const auto action = [this](const char* key, const QIcon& icon, const QKeySequence& keys, auto slot) {
        auto* a = new QAction(icon, Messages::text(key), this);
        a->setShortcut(keys);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        return a;
    };
    m_previousAction = action("fcPrevChange", QIcon::fromTheme(QStringLiteral("go-up"), st->standardIcon(QStyle::SP_ArrowUp)),
                              QKeySequence(), [this] { previousChange(); });
    m_nextAction = action("fcNextChange", QIcon::fromTheme(QStringLiteral("go-down"), st->standardIcon(QStyle::SP_ArrowDown)),
                          QKeySequence(), [this] { nextChange(); });
    m_mergeAction = action("fcMerge", QIcon::fromTheme(QStringLiteral("vcs-merge")), QKeySequence(Qt::CTRL | Qt::Key_M),
                           [this](bool on) { setMergeMode(on); });
    m_mergeAction->setCheckable(true);
    m_takeLeftAction = action("fcTakeLeft", st->standardIcon(QStyle::SP_ArrowLeft), QKeySequence(Qt::ALT | Qt::Key_Left),
                              [this] { takeSide(true); });
    m_takeRightAction = action("fcTakeRight", st->standardIcon(QStyle::SP_ArrowRight), QKeySequence(Qt::ALT | Qt::Key_Right),
                               [this] { takeSide(false); });
    m_saveAction = action("fcSaveMerged", QIcon::fromTheme(QStringLiteral("document-save"), st->standardIcon(QStyle::SP_DialogSaveButton)),
                          QKeySequence::Save, [this] { saveMerged(); });
    m_wrapAction = action("fcWordWrap", QIcon::fromTheme(QStringLiteral("format-justify-fill")), QKeySequence(),
                          [this](bool on) { setWordWrap(on); });
    m_wrapAction->setCheckable(true);
    m_fontAction = action("fcFontMenu", QIcon::fromTheme(QStringLiteral("preferences-desktop-font")), QKeySequence(),
                          [this] { chooseFont(); });
    m_resetAction = action("fcResetView", QIcon::fromTheme(QStringLiteral("edit-undo")), QKeySequence(),
                           [this] { resetViewSettings(); });
    m_findAction = action("fcFind", QIcon::fromTheme(QStringLiteral("edit-find")), QKeySequence::Find, [this] { openFind(); });
    auto* findNext = new QAction(this);
    findNext->setShortcuts(QKeySequence::FindNext);
    findNext->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(findNext, &QAction::triggered, this, [this] { find(true); });
    addAction(findNext);
    auto* findPrevious = new QAction(this);
    findPrevious->setShortcuts(QKeySequence::FindPrevious);
    findPrevious->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(findPrevious, &QAction::triggered, this, [this] { find(false); });
    addAction(findPrevious);

    for (QAction* a : {m_previousAction, m_nextAction}) layout->addWidget(toolButton(m_optionBar, a));
    layout->addSpacing(12);
    for (QAction* a : {m_mergeAction, m_takeLeftAction, m_takeRightAction, m_saveAction}) {
        QToolButton* b = toolButton(m_optionBar, a);
        if (a == m_mergeAction || a == m_saveAction) b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        layout->addWidget(b);
    }
    layout->addSpacing(12);
    for (QAction* a : {m_wrapAction, m_fontAction, m_resetAction, m_findAction}) {
        QToolButton* b = toolButton(m_optionBar, a);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        layout->addWidget(b);
    }
    layout->addWidget(buildHexPager());
    layout->addStretch(1);
    return m_optionBar;
}

QWidget* FileCompareTab::buildHexPager() {
    m_hexPager = new QWidget(m_optionBar);
    auto* layout = new QHBoxLayout(m_hexPager);
    layout->setContentsMargins(12, 0, 0, 0);
    m_pagePrevious = new QToolButton(m_hexPager);
    m_pagePrevious->setArrowType(Qt::LeftArrow);
    m_pagePrevious->setAccessibleName(Messages::text("hexPagePrevious"));
    m_pagePrevious->setToolTip(Messages::text("hexPagePrevious"));
    m_pageNext = new QToolButton(m_hexPager);
    m_pageNext->setArrowType(Qt::RightArrow);
    m_pageNext->setAccessibleName(Messages::text("hexPageNext"));
    m_pageNext->setToolTip(Messages::text("hexPageNext"));
    m_pageLabel = new QLabel(m_hexPager);
    layout->addWidget(m_pagePrevious);
    layout->addWidget(m_pageLabel);
    layout->addWidget(m_pageNext);
    connect(m_pagePrevious, &QToolButton::clicked, this, [this] {
        if (m_hex->page() > 0) showHexPage(m_hex->page() - 1);
    });
    connect(m_pageNext, &QToolButton::clicked, this, [this] { showHexPage(m_hex->page() + 1); });
    m_hexPager->hide();
    return m_hexPager;
}

QList<QAction*> FileCompareTab::optionActions() const {
    return {m_previousAction, m_nextAction, m_mergeAction, m_takeLeftAction, m_takeRightAction, m_saveAction,
            m_wrapAction, m_fontAction, m_resetAction, m_findAction};
}

void FileCompareTab::beep() {
    QApplication::beep();
    emit beeped();
}

void FileCompareTab::setPaths(const QString& left, const QString& right) {
    m_leftPath->setPath(QFile::encodeName(left).toStdString());
    m_rightPath->setPath(QFile::encodeName(right).toStdString());
}

void FileCompareTab::compare() {
    if (m_session.running()) {
        m_session.Cancel();
        return;
    }
    const QString left = fromBytes(m_leftPath->path()), right = fromBytes(m_rightPath->path());
    // A repeated comparison of the same pair keeps its place.
    m_savedScroll = left == m_savedPaths[0] && right == m_savedPaths[1] ? m_view->verticalScrollBar()->value() : 0;
    m_savedPaths[0] = left;
    m_savedPaths[1] = right;
    m_session.setPaths(left, right);
    m_session.CompareFiles();
}

void FileCompareTab::comparisonStarted() {
    m_lastFound.reset();
    m_view->setFound({});
    m_text->setParser(nullptr);
    QString none;
    m_hex->showPage(nullptr, 0, none);
    m_view->setLinesModel(m_text);
    m_view->horizontalHeader()->hide();
    m_miniMap->clear();
    m_progress->show();
    m_mergeAction->setChecked(false);
    m_mergeList->hide();
    updateControls();
}

void FileCompareTab::comparisonFinished() {
    m_progress->hide();
    const FileComparisonResult* result = m_session.result();
    m_leftPath->reloadHistory();
    m_rightPath->reloadHistory();
    if (result && result->hex) {
        // Hex lines keep their layout: they never wrap.
        m_view->setLinesWrap(false);
        m_view->setLinesModel(m_hex);
        m_view->horizontalHeader()->show();
        showHexPage(0);
    } else {
        m_view->setLinesWrap(m_settings.boolValue(QStringLiteral("fcWordWrap")));
        m_text->setParser(result ? result->parser.get() : nullptr);
        m_view->setLinesModel(m_text);
        m_view->horizontalHeader()->hide();
        m_hexPager->hide();
    }
    updateMiniMap();
    if (m_savedScroll > 0) m_view->verticalScrollBar()->setValue(m_savedScroll);
    showInfoLine();
    updateControls();
}

void FileCompareTab::showHexPage(std::uint64_t page) {
    const FileComparisonResult* result = m_session.result();
    if (!result || !result->hex || page >= std::max<std::uint64_t>(1, result->hex->pageCount())) return;
    QString error;
    if (!m_hex->showPage(result->hex.get(), page, error)) m_status->setText(error);
    const std::uint64_t pages = result->hex->pageCount();
    m_hexPager->setVisible(pages > 1);
    m_pageLabel->setText(Messages::format("hexPageOf", QString::number(page + 1), QString::number(pages)));
    m_pagePrevious->setEnabled(page > 0);
    m_pageNext->setEnabled(page + 1 < pages);
}

void FileCompareTab::updateMiniMap() {
    const FileComparisonResult* result = m_session.result();
    std::vector<KMiniMap::Mark> marks;
    if (result && result->parser) {
        const auto& records = result->parser->iZmiany();
        marks.reserve(records.size());
        for (const ChangeRecord& r : records) {
            const auto [top, height] = m_view->rowSpan(int(r.lr));
            marks.push_back({top, height, r.s == 12});
        }
    } else if (result && result->hex && result->hex->iNumOfLines()) {
        const double lines = double(result->hex->iNumOfLines());
        for (const auto& [first, count] : result->hex->runs())
            marks.push_back({double(first) / lines, double(count) / lines, result->hex->sidesOfLine(first) == 12});
    }
    m_miniMap->setColors(m_view->appearance().changed, m_view->appearance().added);
    m_miniMap->setMarks(std::move(marks));
    emit m_view->visibleSpanChanged();
}

void FileCompareTab::showStatus() {
    m_status->setText(m_session.statusText());
    m_status->setToolTip(m_session.statusTooltip());
    Verdict verdict = Verdict::Neutral;
    if (m_session.statusRole() == ComparisonStatus::Role::Equal) verdict = Verdict::Equal;
    else if (m_session.statusRole() == ComparisonStatus::Role::Different || m_session.statusRole() == ComparisonStatus::Role::Error)
        verdict = Verdict::Different;
    QPalette p = m_status->palette();
    p.setColor(QPalette::WindowText, verdictColor(verdict, palette()));
    m_status->setPalette(p);
    m_differences->setText(m_session.differencesText());
}

void FileCompareTab::showInfoLine() {
    const FileComparisonResult* result = m_session.result();
    if (!result || result->failed) {
        m_info->clear();
        return;
    }
    QStringList sides;
    for (int side = 0; side < 2; ++side) {
        const platform::FileStamp& s = result->stamps[side];
        sides << Messages::format(side == 0 ? "fcInfoLeft" : "fcInfoRight", formatByteCount(s.size), formatDate(s.mtimeNs));
    }
    QString line = sides.join(QStringLiteral("   "));
    if (result->equalApartFromLineEnds) line += QStringLiteral("   ") + Messages::text("fcEqualLineEnds");
    if (result->fellBackToHex) line += QStringLiteral("   ") + Messages::text("fcNotText");
    if (result->resultCode & FileCompareRun::kAttributesDiffer) line += QStringLiteral("   ") + Messages::text("fileMetaDiff");
    if (result->resultCode & FileCompareRun::kTagsDiffer) line += QStringLiteral("   ") + Messages::text("fileTagsDiff");
    m_info->setText(line);
}

void FileCompareTab::updateControls() {
    const bool running = m_session.running();
    m_compareButton->setText(Messages::text(running ? "StopBtn" : "compareBtn"));
    m_compareButton->setAccessibleName(m_compareButton->text());
    m_compareButton->setIcon(running ? style()->standardIcon(QStyle::SP_BrowserStop) : style()->standardIcon(QStyle::SP_BrowserReload));
    m_leftPath->setEnabled(!running);
    m_rightPath->setEnabled(!running);
    m_type->setEnabled(!running);
    const FileComparisonResult* result = m_session.result();
    const bool changes = result && result->changeCount() > 0;
    m_previousAction->setEnabled(changes);
    m_nextAction->setEnabled(changes);
    m_mergeAction->setEnabled(m_session.canMerge());
    m_mergeAction->setChecked(m_session.iFileMergeMode());
    const bool merging = m_session.iFileMergeMode();
    m_takeLeftAction->setEnabled(merging && m_session.iCurrentZmiana() >= 0);
    m_takeRightAction->setEnabled(merging && m_session.iCurrentZmiana() >= 0);
    m_saveAction->setEnabled(merging);
    m_findAction->setEnabled(result && result->parser);
    m_wrapAction->setEnabled(!result || !result->hex);
    m_mergeList->setVisible(merging);
    m_optionBar->setEnabled(!running);
    m_optionBar->setVisible(!result || result->mode != FileCompareMode::Quick);
}

void FileCompareTab::nextChange() {
    if (!m_session.MoveToNextBlock(true)) beep();
}

void FileCompareTab::previousChange() {
    if (!m_session.MoveToNextBlock(false)) beep();
}

void FileCompareTab::showCurrentChange(qint64 index) {
    updateControls();
    if (index < 0) {
        m_view->clearSelection();
        return;
    }
    const std::uint64_t row = m_session.rowOfChange(std::uint64_t(index));
    if (m_view->linesModel() == m_hex) {
        if (row < m_hex->firstLine() || row >= m_hex->firstLine() + std::uint64_t(m_hex->rowCount()))
            showHexPage(row / HexPages::kLinesPerPage);
        m_view->placeRow(int(row - m_hex->firstLine()), 0.2);
    } else {
        m_view->placeRow(int(row), 0.2);
    }
}

void FileCompareTab::rowActivated(int row) {
    const std::uint64_t line = m_view->linesModel() == m_hex ? m_hex->firstLine() + std::uint64_t(row) : std::uint64_t(row);
    if (const auto change = m_session.changeAtRow(line); change && std::int64_t(*change) != m_session.iCurrentZmiana())
        m_session.setICurrentZmiana(std::int64_t(*change));
}

void FileCompareTab::takeSide(bool left) {
    if (!m_session.SelectMergedBlock(left)) beep();
}

void FileCompareTab::setMergeMode(bool on) {
    if (!m_session.SetMergeMode(on)) beep();
    updateControls();
}

void FileCompareTab::saveMerged() {
    if (!m_session.iFileMergeMode()) return beep();
    const QString destination =
        QFileDialog::getSaveFileName(this, Messages::text("fcSaveMergedTitle"), m_session.path(0));
    if (!destination.isEmpty()) m_session.SaveMerge(destination);
}

void FileCompareTab::openFind() {
    if (!m_session.result() || !m_session.result()->parser) return beep();
    m_findBar->open();
}

void FileCompareTab::find(bool forward) {
    const FileComparisonResult* result = m_session.result();
    if (!result || !result->parser || m_findBar->text().isEmpty()) return beep();
    const auto match = RowSearch(*result->parser).find(m_findBar->text(), m_findBar->options(), m_lastFound, forward);
    if (!match) {
        m_findBar->setNote(Messages::text("findNotFound"));
        m_view->setFound({});
        return beep();
    }
    m_findBar->setNote(match->wrapped ? Messages::text("findWrapped") : QString());
    m_lastFound = match->at;
    m_view->setFound({int(match->row), match->at.side, match->rowOffset, match->length});
    m_view->placeRow(int(match->row), 0.1);
}

QString FileCompareTab::fieldPath(bool left) const {
    return QFile::decodeName((left ? m_leftPath : m_rightPath)->path().c_str());
}

void FileCompareTab::applySettings() {
    const bool wrap = m_settings.boolValue(QStringLiteral("fcWordWrap"));
    m_wrapAction->setChecked(wrap);
    m_view->setLinesWrap(wrap && m_view->linesModel() == m_text);
    const QFont font = DiffAppearance::font(m_settings);
    m_view->setViewFont(font);
    m_mergeModel->setFont(font);
    m_mergeList->setFont(font);
    m_view->applyAppearance();
    m_type->setCurrentIndex(int(m_session.fileType()));
    updateMiniMap();
}

void FileCompareTab::setWordWrap(bool on) {
    m_settings.store(QStringLiteral("fcWordWrap"), on);
    applySettings();
}

void FileCompareTab::chooseFont() {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, m_view->font(), this, Messages::text("fcFontMenu"),
                                            QFontDialog::MonospacedFonts);
    if (!ok) return;
    m_settings.store(QStringLiteral("fcFont"), font.toString());
    applySettings();
}

void FileCompareTab::resetViewSettings() {
    for (const char* key : kViewKeys) m_settings.remove(QString::fromLatin1(key));
    applySettings();
}

void FileCompareTab::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        showStatus();
        updateMiniMap();
    }
}

}  // namespace qv
