#pragma once
// One comparison window: the two path fields, the toolbar, the status header
// with its progress, the merged tree and the two message lines. It owns the
// controller of its comparison and shows what the controller decides; it
// computes nothing a headless run would need.

#include "app/ComparisonStatus.h"
#include "app/WindowLayout.h"
#include "engine/UserPrompt.h"
#include "platform/FileSystem.h"

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <string>

class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QProgressBar;
class QTabWidget;

namespace qv {

class ComparisonModel;
class ComparisonView;
class FileCompareTab;
class InspectorPanel;
class KRenamePopover;
class TagPopover;
class KItem;
class PathField;
class QuorvaneModule;
class Settings;
class UserPrompt;

class ComparisonWindow final : public QMainWindow {
    Q_OBJECT
public:
    // `prompt` answers the engine's questions; null: message boxes over this window.
    explicit ComparisonWindow(Settings& settings, std::unique_ptr<UserPrompt> prompt = nullptr,
                              platform::FileSystem& fs = platform::systemFileSystem(), QWidget* parent = nullptr);
    // A window over a controller that lives without it (a document's, which
    // may have compared before its window was made): it shows the
    // controller's paths, tab and tree as they are, and asks through its prompt.
    ComparisonWindow(Settings& settings, QuorvaneModule& module, QWidget* parent = nullptr);
    ~ComparisonWindow() override;

    void setPaths(const std::string& left, const std::string& right);
    // The Compare action (Stop while a run is going).
    void compare();
    void nextDifference();
    void previousDifference();
    // Presses a row action button on the selected rows (`kind` a ButtonKind).
    void pressActionButton(int kind, int side);
    // The name panel for a copy-as or rename (BtnCopyAs, BtnRename) of the
    // selected rows from `side`, and the tag panel for their entries there.
    void openRenamePopover(int kind, int side);
    void openTagPopover(int side);
    KRenamePopover* renamePopover() const { return m_renamePopover; }
    TagPopover* tagPopover() const;
    void openSyncDialog();
    void openExecutionDialog();
    // Shows or hides an optional column pair (the left column's number); shown, its values are read.
    void showOptionalColumn(int column, bool on);

    QuorvaneModule& module() const { return *m_module; }
    ComparisonView& view() const { return *m_view; }
    ComparisonModel& model() const { return *m_model; }

    // --- the file tab and the tool windows (ComparisonWindowTools.cpp) ------------
    FileCompareTab& fileTab() const { return *m_fileTab; }
    InspectorPanel& inspector() const { return *m_inspector; }
    bool fileTabShown() const;
    // Shows the file tab comparing two files.
    void compareFiles(const QString& left, const QString& right);
    void showFolderTab();
    void showFileTab();
    void openPreferences();
    void openRules();
    void openExport();
    void recordSnapshot();
    // Asks for a snapshot file and shows it in a preview window.
    void openSnapshot();
    void showSnapshotPreview(const QString& file);
    void setInspectorShown(bool shown);

    // --- what the window leaves for the next start (ComparisonWindowLayout.cpp) ----
    // The shown columns of the tree, left to right, with their widths.
    QList<ColumnLayout> columnLayout() const;
    // Shows exactly the listed optional columns; widths apply to the columns the user sizes.
    void applyColumnLayout(const QList<ColumnLayout>& columns);
    PaneLayout paneLayout() const;
    void applyPaneLayout(const PaneLayout& ui);
    // The pairs in the path fields, the selected tab and the place on the screen.
    RestorableWindow restorableState() const;
    void restoreState(const RestorableWindow& state);
    // Stores the layout of the columns and panes as the one new windows take.
    void CloseWindow();
    // Whether the path fields name `a` and `b`, in either order (paths compared standardised).
    bool comparesPair(const std::string& a, const std::string& b) const;
    bool comparing() const;
    static QString columnId(int column);
    static int columnForId(const QString& id);

signals:
    // The user asked to compare a pair in a window of its own.
    void openPairRequested(const std::string& left, const std::string& right);
    // The window accepted a close and is about to go.
    void closing();
    // The Quit action: the application decides what is kept and closes every window.
    void quitRequested();
    // The menu command Check for Updates….
    void checkForUpdatesRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void build();
    // Paths, title and tab of a controller that ran before the window was made.
    void showControllerState();
    void buildActions();
    void buildMenus();
    void buildToolBar();
    QWidget* buildPathBar();
    QWidget* buildStatusHeader();
    QWidget* buildMessageLines();
    QAction* addAction(QMenu* menu, const char* textKey, const QKeySequence& shortcut, void (ComparisonWindow::*slot)());
    void buildFilterActions(QMenu* menu);
    void buildOptionActions(QMenu* menu);
    void buildSideActions(QMenu* menu, int side);

    void runStarted();
    void runFinished(bool);
    void showStatus();
    QString lineText(const ComparisonStatus::Line& line) const;
    void showProgress();
    void updateActionStates();
    void applyFilter();
    void swapSides();
    void stepToDifference(bool forward);
    void showContextMenu(const QPoint& globalPos, int side);
    void compareSelectedPair();
    void clearActions();
    void watchDropCopies();
    QList<QAction*> addIgnoreActions(QMenu* menu);
    void setIgnored(bool ignored);
    void showColumnMenu(const QPoint& pos);
    void editStateOrder();
    // Says why the two sides cannot be synchronised when one lies inside the other.
    bool refuseNested();
    void expandAll();
    void storeOptions();
    // The file tab and the tool windows (ComparisonWindowTools.cpp).
    QWidget* buildTabs(QWidget* folderTab);
    void buildToolMenus();
    void connectTools();
    // A double-click on a row: two files open in the file tab, anything else in a comparison of its own.
    void openRow(const QModelIndex& index);

    Settings& m_settings;
    std::unique_ptr<UserPrompt> m_ownPrompt;        // null when the controller is not the window's
    std::unique_ptr<QuorvaneModule> m_ownModule;
    UserPrompt* m_prompt = nullptr;
    QuorvaneModule* m_module = nullptr;
    ComparisonModel* m_model = nullptr;
    ComparisonView* m_view = nullptr;
    PathField* m_leftPath = nullptr;
    PathField* m_rightPath = nullptr;
    QLabel* m_header = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_leftMessage = nullptr;
    QLabel* m_rightMessage = nullptr;
    QAction* m_compareAction = nullptr;
    QAction* m_swapAction = nullptr;
    QAction* m_nextAction = nullptr;
    QAction* m_prevAction = nullptr;
    QAction* m_syncAction = nullptr;
    QAction* m_executeAction = nullptr;
    QAction* m_clearAction = nullptr;
    QList<QAction*> m_filterActions;
    QList<QAction*> m_rowActions;   // need a selection
    QStringList m_dropFailures;     // of the batch of drops being copied
    QTabWidget* m_tabs = nullptr;
    FileCompareTab* m_fileTab = nullptr;
    KRenamePopover* m_renamePopover = nullptr;
    QPointer<TagPopover> m_tagPopover;
    InspectorPanel* m_inspector = nullptr;
    QDockWidget* m_inspectorDock = nullptr;
    QAction* m_inspectorAction = nullptr;
    QList<QWidget*> m_toolWindows;   // snapshot windows opened from here
};

}  // namespace qv
