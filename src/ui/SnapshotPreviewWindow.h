#pragma once
// A snapshot file's contents as a sortable tree: read on a worker, then the
// recorded folder, the details line (date, size, counts), the tree, and the
// recorded path of the selected entry. The sort column, the columns shown
// and their widths are kept in the settings.

#include <QString>
#include <QWidget>

#include <memory>

class QLabel;
class QProgressBar;
class QThread;
class QTreeView;

namespace qv {

class KSnapshot;
class Settings;
class SnapshotOrder;
class SnapshotTreeModel;
class UserPrompt;

class SnapshotPreviewWindow final : public QWidget {
    Q_OBJECT
public:
    SnapshotPreviewWindow(const QString& file, Settings& settings, UserPrompt& prompt, QWidget* parent = nullptr);
    ~SnapshotPreviewWindow() override;

    // Clicking a column's header: the sort column reverses its direction,
    // another column becomes the sort column, ascending.
    void sortBy(int column);
    void setFoldersOnTop(bool onTop);

    bool loaded() const { return m_snapshot != nullptr; }
    QTreeView& tree() const { return *m_tree; }
    SnapshotTreeModel& model() const { return *m_model; }
    QLabel& detailsLine() const { return *m_details; }
    QLabel& selectionPath() const { return *m_selection; }
    int sortColumn() const { return m_sortColumn; }
    bool sortAscending() const { return m_ascending; }

signals:
    // Reading ended; `ok` is false when the file is not a snapshot (the window then closes).
    void loadedSnapshot(bool ok);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ReadFinished(std::shared_ptr<KSnapshot> snapshot);
    void sortAgain();
    void showHeaderMenu(const QPoint& at);
    void restoreColumns();
    void storeColumns();

    QString m_file;
    Settings& m_settings;
    UserPrompt& m_prompt;
    QLabel* m_folder;
    QLabel* m_details;
    QLabel* m_selection;
    QProgressBar* m_progress;
    QTreeView* m_tree;
    SnapshotTreeModel* m_model;
    QThread* m_thread = nullptr;
    std::shared_ptr<KSnapshot> m_snapshot;
    std::unique_ptr<SnapshotOrder> m_order;
    int m_sortColumn = 0;   // view column, 0 for the name
    bool m_ascending = true;
};

}  // namespace qv
