#pragma once
// Recording a folder into a snapshot file: the folder and whether to record
// digests, the walk on a worker with its progress and its log, then the
// save dialog. Closing with a recording not saved asks first.

#include "snapshot/SnapshotRecording.h"

#include <QWidget>

#include <atomic>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QThread;

namespace qv {

class Settings;
class UserPrompt;

class SnapshotRecordWindow final : public QWidget {
    Q_OBJECT
public:
    SnapshotRecordWindow(UserPrompt& prompt, QWidget* parent = nullptr);
    ~SnapshotRecordWindow() override;   // cancels and awaits a recording

    // Starts recording a folder (the Record button with the field's folder).
    bool startRecording(const QString& folder, bool digests);
    bool recording() const { return m_thread != nullptr; }
    // A recorded snapshot waits to be saved.
    bool iFinished() const { return m_finished; }
    // Writes the snapshot to `destination`; false (and says why) when it cannot.
    bool save(const QString& destination);
    const QString& statusText() const;
    QString logText() const;
    const SnapshotRecording& recordingResult() const { return *m_recording; }

signals:
    void recordingFinished(bool ready);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void chooseFolder();
    void CreateThreadHasFinished(bool recorded);
    void ShowMessage(const QString& text);
    void AddErrorMessage(const QString& text);
    void askWhereToSave();

    UserPrompt& m_prompt;
    QLineEdit* m_folder;
    QCheckBox* m_digests;
    QPushButton* m_record;
    QPushButton* m_save;
    QLabel* m_status;
    QPlainTextEdit* m_log;
    QProgressBar* m_progress;
    QThread* m_thread = nullptr;
    std::atomic<bool> m_cancel{false};
    std::unique_ptr<SnapshotRecording> m_recording;
    QString m_recordedFolder, m_statusText;
    bool m_finished = false;
};

}  // namespace qv
