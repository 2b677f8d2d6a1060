#pragma once
// The file tab of a comparison window: two file paths, the kind of
// comparison, the status with its progress and the info line, the option
// bar, the search panel, the two files side by side with the overview
// strip, the hex pages, and the merge preview with its save button. It
// shows the window's FileComparisonSession and decides nothing itself.

#include "filecompare/RowSearch.h"

#include <QWidget>

#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QListView;
class QProgressBar;
class QSplitter;
class QToolButton;

namespace qv {

class FileComparisonSession;
class FileLinesModel;
class FindBar;
class HexRowsModel;
class KFileTableView;
class KMiniMap;
class MergePreviewModel;
class PathField;
class Settings;
class TextRowsModel;

class FileCompareTab final : public QWidget {
    Q_OBJECT
public:
    // The session must outlive the tab's use of it (the window's controller owns both; nothing is drawn once it goes).
    FileCompareTab(FileComparisonSession& session, Settings& settings, QWidget* parent = nullptr);

    void setPaths(const QString& left, const QString& right);
    // The two path fields as they read now (compared or not).
    QString fieldPath(bool left) const;
    // Compares the two path fields (Stop while a comparison runs).
    void compare();
    void nextChange();
    void previousChange();
    void takeSide(bool left);
    void setMergeMode(bool on);
    // Asks where to save the merged text, then saves it.
    void saveMerged();
    void find(bool forward);
    void openFind();
    void showHexPage(std::uint64_t page);
    // The settings of the view read again (after the Preferences changed them).
    void applySettings();
    void setWordWrap(bool on);
    void chooseFont();
    void resetViewSettings();

    FileComparisonSession& session() const { return m_session; }
    KFileTableView& view() const { return *m_view; }
    TextRowsModel& textModel() const { return *m_text; }
    HexRowsModel& hexModel() const { return *m_hex; }
    KMiniMap& miniMap() const { return *m_miniMap; }
    FindBar& findBar() const { return *m_findBar; }
    MergePreviewModel& mergeModel() const { return *m_mergeModel; }
    QLabel& statusLabel() const { return *m_status; }
    QLabel& infoLine() const { return *m_info; }
    // The actions of the option bar, for the window's menus.
    QList<QAction*> optionActions() const;

signals:
    // A step past the first or last change, or an action with nothing to act on.
    void beeped();

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildPathBar();
    QWidget* buildStatus();
    QWidget* buildOptionBar();
    QWidget* buildHexPager();
    void beep();
    void comparisonStarted();
    void comparisonFinished();
    void showStatus();
    void showInfoLine();
    void showCurrentChange(qint64 index);
    void updateControls();
    void updateMiniMap();
    void rowActivated(int row);

    FileComparisonSession& m_session;
    Settings& m_settings;
    TextRowsModel* m_text;
    HexRowsModel* m_hex;
    MergePreviewModel* m_mergeModel;
    PathField* m_leftPath = nullptr;
    PathField* m_rightPath = nullptr;
    QComboBox* m_type = nullptr;
    QToolButton* m_compareButton = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_differences = nullptr;
    QLabel* m_info = nullptr;
    QProgressBar* m_progress = nullptr;
    QWidget* m_optionBar = nullptr;
    QWidget* m_hexPager = nullptr;
    QLabel* m_pageLabel = nullptr;
    QToolButton* m_pagePrevious = nullptr;
    QToolButton* m_pageNext = nullptr;
    FindBar* m_findBar = nullptr;
    KFileTableView* m_view = nullptr;
    KMiniMap* m_miniMap = nullptr;
    QSplitter* m_split = nullptr;
    QListView* m_mergeList = nullptr;
    QAction* m_previousAction = nullptr;
    QAction* m_nextAction = nullptr;
    QAction* m_mergeAction = nullptr;
    QAction* m_takeLeftAction = nullptr;
    QAction* m_takeRightAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_wrapAction = nullptr;
    QAction* m_fontAction = nullptr;
    QAction* m_resetAction = nullptr;
    QAction* m_findAction = nullptr;
    std::optional<TextPosition> m_lastFound;
    // The scroll position kept for a repeated comparison of the same pair.
    QString m_savedPaths[2];
    int m_savedScroll = 0;
};

}  // namespace qv
