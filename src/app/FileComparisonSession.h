#pragma once
// The file comparison of one window (its file tab): the two paths and the
// kind of comparison, the worker that compares them, the result on screen,
// the current change, the side the merge takes for each change, and saving
// the merged file. Everything runs on the main thread except the comparison
// itself, which a worker thread runs and hands over whole when it ends.

#include "app/ComparisonStatus.h"
#include "filecompare/FileComparison.h"
#include "filecompare/KFileMerger.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QThread;

namespace qv {

class Settings;
class UserPrompt;

class FileComparisonSession : public QObject {
    Q_OBJECT
public:
    FileComparisonSession(UserPrompt& prompt, Settings& settings, QObject* parent = nullptr);
    ~FileComparisonSession() override;   // stops and awaits a running comparison

    // --- the pair ---------------------------------------------------------------
    const QString& path(int side) const { return m_paths[side == 0 ? 0 : 1]; }   // 0 left, 1 right
    void setPaths(const QString& left, const QString& right);
    // The kind of comparison asked for: the setting "fileType".
    FileCompareType fileType() const;
    void FileType(FileCompareType type);

    // Starts comparing the two paths. False, with the status saying why, when
    // they cannot be compared or a comparison is running already.
    bool CompareFiles();
    void Cancel();
    bool running() const { return m_thread != nullptr; }

    // --- the result -------------------------------------------------------------
    // The last comparison's result; nullptr before the first and while one runs.
    const FileComparisonResult* result() const { return m_running ? nullptr : m_result.get(); }
    FileCompareMode iMode() const;
    std::uint64_t changeCount() const { return m_result && !m_running ? m_result->changeCount() : 0; }

    const QString& statusText() const { return m_statusText; }
    const QString& statusTooltip() const { return m_statusTooltip; }
    ComparisonStatus::Role statusRole() const { return m_statusRole; }
    // "3 differences", or "" when the files are equal or only quickly checked.
    QString differencesText() const;

    // --- changes ----------------------------------------------------------------
    // The current change (0-based), −1 when none.
    std::int64_t iCurrentZmiana() const { return m_current; }
    void setICurrentZmiana(std::int64_t index);
    // Steps to the next or previous change; false (the window beeps) when
    // there is none that way, and nothing changes then.
    bool MoveToNextBlock(bool forward);
    // The row that shows a change: its row in a text comparison, its line in a hex one.
    std::uint64_t rowOfChange(std::uint64_t index) const;
    // The change shown on a row, if any.
    std::optional<std::uint64_t> changeAtRow(std::uint64_t row) const;

    // --- merging ----------------------------------------------------------------
    // Merging works on a text comparison with at least one change.
    bool canMerge() const;
    bool iFileMergeMode() const { return m_mergeMode; }
    // Opens or closes the merge preview: every change then takes a side,
    // the right one until chosen otherwise. False when it cannot open.
    bool SetMergeMode(bool on);
    // The current change takes the left or the right side; false (the
    // window beeps) without a current change or with merging off.
    bool SelectMergedBlock(bool takeLeft);
    // Whether a change takes the left side.
    bool takesLeft(std::uint64_t change) const;
    const KFileMerger& merger() const { return m_merger; }

    enum class SaveOutcome { Saved, Declined, Failed };
    // Writes the merged text to `destination` (a link: to what it points at)
    // through a temporary, with the line endings and byte-order mark of the
    // file it replaces (else of the left file), keeping a replaced file's
    // mode and owner. A file of the pair that changed on disk since it was
    // read, or a read-only one, is replaced only when the user agrees.
    SaveOutcome SaveMerge(const QString& destination);

signals:
    void comparisonStarted();
    // result() holds the new result (or the reason there is none).
    void comparisonFinished();
    void statusChanged();
    void currentChangeChanged(qint64 index);
    // The merge preview opened, closed, or its lines changed.
    void mergeChanged();

private:
    void CompareFilesThreadFinished();
    void setStatus(const QString& text, ComparisonStatus::Role role, const QString& tooltip = {});
    void showFinishedStatus();
    void ShowFCInfo();
    void merge();
    // The lines of one compared file, as they were read.
    QStringList originalLines(int side) const;
    // Whether to go on writing over `target`, asking when a file of the pair changed or it is read-only.
    bool mayReplace(const QString& target);

    UserPrompt& m_prompt;
    Settings& m_settings;
    QString m_paths[2];
    QThread* m_thread = nullptr;
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
    std::unique_ptr<FileComparisonResult> m_result;
    std::unique_ptr<FileComparisonResult> m_incoming;   // written by the worker, taken when it ends
    QString m_statusText, m_statusTooltip;
    ComparisonStatus::Role m_statusRole = ComparisonStatus::Role::Neutral;
    std::int64_t m_current = -1;
    bool m_mergeMode = false;
    std::vector<std::optional<DiffChunk>> m_chunks;
    KFileMerger m_merger;
};

}  // namespace qv
