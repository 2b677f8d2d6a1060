#pragma once
// The execution sheet: what the marked actions will do (four groups that can
// be switched off, with counts and sizes), where replaced and deleted items
// go, and the run itself with progress, speed, time remaining and a result
// per row. The execution (KMerge) runs on a worker; this dialog only shows it.

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableView;
class QThread;

namespace qv {

class ExecutionRowsModel;
class KMerge;
class MergeProgress;
class QuorvaneModule;
class Settings;

class ExecutionDialog final : public QDialog {
    Q_OBJECT
public:
    ExecutionDialog(QuorvaneModule& module, Settings& settings, QWidget* parent = nullptr);
    ~ExecutionDialog() override;

    // The Execute button: asks what must be asked, then runs the rows.
    void execute();
    bool isRunning() const { return m_thread != nullptr; }
    bool hasRun() const { return m_finished; }
    // The user closed the finished run and wants the two sides compared again.
    bool compareAgain() const { return m_compareAgain; }
    KMerge& merge() const { return *m_merge; }

    void reject() override;

private:
    class WorkerObserver;

    void makeExecution();
    void showGroups();
    void archiveChosen(int index);
    bool confirmStart();
    void showProgress(double fraction, quint64 bytes, double total, double speed, double remaining);
    void runFinished();
    void primaryPressed();
    void stopRun();

    QuorvaneModule& m_module;
    Settings& m_settings;
    std::unique_ptr<KMerge> m_merge;
    std::unique_ptr<WorkerObserver> m_observer;
    QThread* m_thread = nullptr;
    bool m_finished = false;
    std::uint64_t m_bytesToCopy = 0;   // the enabled copy groups' data
    bool m_compareAgain = false;
    bool m_groupOn[4] = {true, true, true, true};   // the user's choice, kept across new executions
    ExecutionRowsModel* m_rows;
    QCheckBox* m_groups[4];
    QComboBox* m_archive;
    QCheckBox* m_dontOverwrite;
    QTableView* m_table;
    QProgressBar* m_progress;
    QLabel* m_figures;
    QLabel* m_status;
    QPushButton* m_primary;
    QPushButton* m_secondary;
};

}  // namespace qv
