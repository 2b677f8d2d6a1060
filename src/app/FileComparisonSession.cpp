#include "app/FileComparisonSession.h"

#include "app/history/FolderHistory.h"
#include "base/Messages.h"
#include "base/Settings.h"
#include "engine/UserPrompt.h"
#include "filecompare/TextConventions.h"
#include "platform/DurableFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QThread>

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

QString canonical(const QString& path) { return QFileInfo(path).canonicalFilePath(); }

}  // namespace

FileComparisonSession::FileComparisonSession(UserPrompt& prompt, Settings& settings, QObject* parent)
    : QObject(parent), m_prompt(prompt), m_settings(settings) {}

FileComparisonSession::~FileComparisonSession() {
    if (!m_thread) return;
    disconnect(m_thread, nullptr, this, nullptr);
    m_cancel = true;
    m_thread->wait();
    delete m_thread;
}

void FileComparisonSession::setPaths(const QString& left, const QString& right) {
    m_paths[0] = left;
    m_paths[1] = right;
}

FileCompareType FileComparisonSession::fileType() const {
    const qint64 type = m_settings.intValue(QStringLiteral("fileType"));
    return type >= 0 && type <= 3 ? FileCompareType(type) : FileCompareType::Automatic;
}

void FileComparisonSession::FileType(FileCompareType type) {
    m_settings.store(QStringLiteral("fileType"), int(type));
}

FileCompareMode FileComparisonSession::iMode() const {
    return m_result && !m_running ? m_result->mode : FileCompareMode::None;
}

bool FileComparisonSession::CompareFiles() {
    if (m_thread) return false;
    if (const char* refusal = FileComparison::CanCompareFile1(m_paths[0], m_paths[1])) {
        setStatus(Messages::text(refusal), ComparisonStatus::Role::Error);
        return false;
    }
    // The pair joins the file history, and each file the recently used files
    // (not when paths are not to be saved), as `quorvane diff` does.
    if (m_settings.boolValue(QStringLiteral("savePaths"))) {
        FolderHistory(m_settings, false).StoreFolderHistory(m_paths[0], m_paths[1]);
        KLastFolders files(m_settings, QStringLiteral("lastFiles"));
        files.AddFolder(m_paths[0]);
        files.AddFolder(m_paths[1]);
        files.store();
    }

    m_mergeMode = false;
    m_chunks.clear();
    m_merger.SetContent({}, {});
    m_current = -1;
    m_running = true;
    m_cancel = false;
    const QString left = m_paths[0], right = m_paths[1];
    const FileCompareType type = fileType();
    m_thread = QThread::create([this, left, right, type] { m_incoming = FileComparison::run(left, right, type, &m_cancel); });
    connect(m_thread, &QThread::finished, this, &FileComparisonSession::CompareFilesThreadFinished, Qt::QueuedConnection);
    setStatus(Messages::text("comparing"), ComparisonStatus::Role::Working);
    m_thread->start();
    emit comparisonStarted();
    emit mergeChanged();
    emit currentChangeChanged(-1);
    // Nothing shows the last result any more: it goes while the worker runs, not after.
    m_result.reset();
    return true;
}

void FileComparisonSession::Cancel() {
    if (!m_thread) return;
    m_cancel = true;
    setStatus(Messages::text("aborting"), ComparisonStatus::Role::Working);
}

void FileComparisonSession::CompareFilesThreadFinished() {
    if (!m_thread) return;
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    m_result = std::move(m_incoming);
    m_running = false;
    m_current = -1;
    m_chunks.clear();
    if (m_result && m_result->parser)
        for (const ChangeRecord& record : m_result->parser->iZmiany()) m_chunks.push_back(record.diffChunk);
    showFinishedStatus();
    emit comparisonFinished();
    emit currentChangeChanged(-1);
    if (m_result && !m_result->equal && !m_result->cancelled && !m_result->failed) ShowFCInfo();
}

void FileComparisonSession::setStatus(const QString& text, ComparisonStatus::Role role, const QString& tooltip) {
    m_statusText = text;
    m_statusRole = role;
    m_statusTooltip = tooltip;
    emit statusChanged();
}

void FileComparisonSession::showFinishedStatus() {
    const FileComparisonResult& r = *m_result;
    if (r.cancelled) return setStatus(Messages::text("TaskAborted"), ComparisonStatus::Role::Neutral);
    if (r.failed) return setStatus(r.message, ComparisonStatus::Role::Error);
    const QString notText = r.fellBackToHex ? Messages::text("fcNotText") : QString();
    if (!r.equal) {
        setStatus(r.message.isEmpty() ? Messages::text("FilesDiff") : r.message, ComparisonStatus::Role::Different, notText);
        return;
    }
    QString text = !r.message.isEmpty()            ? r.message
                   : r.equalApartFromLineEnds      ? Messages::text("fcEqualLineEnds")
                   : r.resultCode == FileCompareRun::kEqual ? Messages::text("FilesEqual")
                                                    : Messages::text("FilesEqual2");
    QStringList tips;
    if (!notText.isEmpty()) tips << notText;
    // The marks the tree uses for the same findings: ≈ attributes, # tags.
    if (r.resultCode & FileCompareRun::kAttributesDiffer) {
        tips << Messages::text("fileMetaDiff");
        text += QStringLiteral(" ≈");
    }
    if (r.resultCode & FileCompareRun::kTagsDiffer) {
        tips << Messages::text("fileTagsDiff");
        text += QStringLiteral(" #");
    }
    setStatus(text, ComparisonStatus::Role::Equal, tips.join('\n'));
}

void FileComparisonSession::ShowFCInfo() {
    if (!m_prompt.showsUI() || iMode() == FileCompareMode::Quick) return;
    const bool step1Done = m_settings.boolValue(QStringLiteral("dontSowFCInfoStep1"));
    if (step1Done && m_settings.boolValue(QStringLiteral("dontSowFCInfoStep2"))) return;
    const Answer answer = m_prompt.ask({Messages::text("fcInfo0"), Messages::text(step1Done ? "fcInfo2" : "fcInfo1"),
                                        {Messages::text("OK")}, true});
    m_settings.store(QString::fromLatin1(step1Done ? "dontSowFCInfoStep2" : "dontSowFCInfoStep1"), answer.suppress);
}

QString FileComparisonSession::differencesText() const {
    const FileComparisonResult* r = result();
    if (!r || r->equal || r->cancelled || r->failed || r->mode == FileCompareMode::Quick) return {};
    const std::uint64_t n = r->changeCount();
    return Messages::format("fcDiffCount", QLocale().toString(qulonglong(n)),
                            Messages::text(n == 1 ? "difference" : "differences"));
}

void FileComparisonSession::setICurrentZmiana(std::int64_t index) {
    if (index < -1 || index >= std::int64_t(changeCount())) index = -1;
    m_current = index;
    emit currentChangeChanged(index);
}

bool FileComparisonSession::MoveToNextBlock(bool forward) {
    const std::int64_t count = std::int64_t(changeCount());
    if (count == 0) return false;
    if (forward ? m_current + 1 >= count : m_current < 1) return false;
    setICurrentZmiana(forward ? m_current + 1 : m_current - 1);
    return true;
}

std::uint64_t FileComparisonSession::rowOfChange(std::uint64_t index) const {
    const FileComparisonResult* r = result();
    if (!r || index >= r->changeCount()) return 0;
    if (r->parser) return r->parser->iZmiany()[index].lr;
    return r->hex->lineOfChange(index);
}

std::optional<std::uint64_t> FileComparisonSession::changeAtRow(std::uint64_t row) const {
    const FileComparisonResult* r = result();
    if (!r) return std::nullopt;
    if (r->hex) return r->hex->changeOnLine(row);
    if (!r->parser) return std::nullopt;
    const auto& records = r->parser->iZmiany();
    const auto it = std::lower_bound(records.begin(), records.end(), row,
                                     [](const ChangeRecord& c, std::uint64_t value) { return c.lr < value; });
    if (it == records.end() || it->lr != row) return std::nullopt;
    return std::uint64_t(it - records.begin());
}

bool FileComparisonSession::canMerge() const {
    const FileComparisonResult* r = result();
    return r && r->mode == FileCompareMode::Text && r->parser && !r->parser->iZmiany().empty();
}

QStringList FileComparisonSession::originalLines(int side) const {
    // The lines as a split at "\n" gives them: the aligned lines without the
    // fillers, then an empty piece when the text ends with a line break.
    const auto& lines = side == 0 ? m_result->parser->lines1() : m_result->parser->lines2();
    QStringList out;
    out.reserve(qsizetype(lines.size()) + 1);
    bool endsWithBreak = true;
    for (const DisplayLine& line : lines) {
        if (line.filler) continue;
        out.append(line.text.toString());
        endsWithBreak = line.hasBreak;
    }
    if (endsWithBreak) out.append(QString());
    return out;
}

void FileComparisonSession::merge() {
    m_merger.MergeWithSelections(m_chunks);
    emit mergeChanged();
}

bool FileComparisonSession::SetMergeMode(bool on) {
    if (on == m_mergeMode) return true;
    if (on && !canMerge()) return false;
    m_mergeMode = on;
    if (on) {
        m_merger.SetContent(originalLines(0), originalLines(1));
        merge();
    } else {
        m_merger.SetContent({}, {});
        emit mergeChanged();
    }
    return true;
}

bool FileComparisonSession::SelectMergedBlock(bool takeLeft) {
    if (!m_mergeMode || m_current < 0 || std::size_t(m_current) >= m_chunks.size() || !m_chunks[m_current]) return false;
    m_chunks[std::size_t(m_current)]->isLeftChunk = takeLeft;
    merge();
    return true;
}

bool FileComparisonSession::takesLeft(std::uint64_t change) const {
    return change < m_chunks.size() && m_chunks[change] && m_chunks[change]->isLeftChunk;
}

bool FileComparisonSession::mayReplace(const QString& target) {
    const QString current = canonical(target);
    if (current.isEmpty()) return true;   // a new file
    const platform::FileStamp now = platform::FileStamp::of(QFile::encodeName(target).toStdString());
    for (int side = 0; side < 2; ++side) {
        if (canonical(m_paths[side]) != current || now == m_result->stamps[side]) continue;
        const Answer answer = m_prompt.ask({Messages::text("fcChangedOnDisk0"), Messages::format("fcChangedOnDisk1", target),
                                            {Messages::text("cancel"), Messages::text("BtnReplace")}});
        if (answer.button != 1) return false;
    }
    // Not writable for this user, or (for root, who may write anyway) without any write permission.
    const QFileInfo info(target);
    if (!info.isWritable() || !(info.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther))) {
        const Answer answer = m_prompt.ask({Messages::text("fcReadOnly0"), Messages::format("fcReadOnly1", target),
                                            {Messages::text("cancel"), Messages::text("BtnReplace")}});
        if (answer.button != 1) return false;
    }
    return true;
}

FileComparisonSession::SaveOutcome FileComparisonSession::SaveMerge(const QString& destination) {
    if (!m_mergeMode || !m_result) return SaveOutcome::Failed;
    // A link stays a link: what it points at is written.
    const QFileInfo info(destination);
    const QString target = info.isSymLink() ? info.canonicalFilePath() : info.absoluteFilePath();
    if (target.isEmpty()) {
        m_prompt.inform(Messages::text("fcSaveFailed0"), Messages::format("cliOutDangling", destination));
        return SaveOutcome::Failed;
    }
    if (!mayReplace(target)) return SaveOutcome::Declined;
    const QString current = canonical(target);
    const bool overRight = !current.isEmpty() && current == canonical(m_paths[1]);
    const bool overPair = overRight || (!current.isEmpty() && current == canonical(m_paths[0]));
    const QByteArray bytes = TextConventions::of(overRight ? m_paths[1] : m_paths[0]).render(m_merger.iMergedContent());
    platform::DurableFile file;
    int error = file.open(QFile::encodeName(target).toStdString(), true);
    if (!error) error = file.write(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (!error) error = file.commit();
    if (error) {
        m_prompt.inform(Messages::text("fcSaveFailed0"),
                        Messages::format("cliWriteFailed", target, QString::fromLocal8Bit(std::strerror(error))));
        return SaveOutcome::Failed;
    }
    // The comparison on screen no longer shows the file written: compare again.
    if (overPair) CompareFiles();
    else setStatus(Messages::format("fcSaved", target), m_statusRole, m_statusTooltip);
    return SaveOutcome::Saved;
}

}  // namespace qv
