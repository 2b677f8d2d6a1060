#pragma once
// Turns two texts and the normal-format commands of the line comparison tool
// into two aligned texts of equal line count (filler lines stand for lines the
// other side lacks), marks on the changed characters, row lists and change
// records. Works on lines rather than one long text so that aligning a file
// with thousands of changes stays linear.

#include "filecompare/DiffChunk.h"

#include <QString>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace qv {

class ChangesAhead;

enum MarkKind : std::uint8_t { MarkSame = 0, MarkAdded = 1, MarkRemoved = 2, MarkChanged = 3 };

struct MarkRun {
    qsizetype start = 0;
    qsizetype length = 0;
    std::uint8_t kind = MarkSame;
    bool operator==(const MarkRun&) const = default;
};

// A line's marks. A line table holds hundreds of thousands of lines and
// most have no marks: an empty list takes one pointer's room.
class MarkList {
public:
    MarkList() = default;
    MarkList(std::vector<MarkRun> runs)
        : m_runs(runs.empty() ? nullptr : std::make_unique<std::vector<MarkRun>>(std::move(runs))) {}
    MarkList(const MarkList& other) : MarkList(other.toVector()) {}
    MarkList(MarkList&&) noexcept = default;
    MarkList& operator=(MarkList other) noexcept {
        m_runs = std::move(other.m_runs);
        return *this;
    }

    const MarkRun* begin() const { return m_runs ? m_runs->data() : nullptr; }
    const MarkRun* end() const { return begin() + size(); }
    std::size_t size() const { return m_runs ? m_runs->size() : 0; }
    bool empty() const { return !m_runs; }
    const MarkRun& operator[](std::size_t i) const { return (*m_runs)[i]; }
    std::vector<MarkRun> toVector() const { return {begin(), end()}; }
    friend bool operator==(const MarkList& a, const MarkList& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    std::unique_ptr<std::vector<MarkRun>> m_runs;   // none without marks
};

// Kept small: a large file has a table of hundreds of thousands of lines.
struct DisplayLine {
    QStringView text;             // without its line break, in the text the lines were cut from
    MarkList marks;               // offsets into text; unmarked characters are the same
    bool filler = false;          // stands for a line the other side has
    bool hasBreak = true;         // false only for a last line without one
};
static_assert(sizeof(DisplayLine) <= 32);

struct ChangeRecord {
    std::uint64_t l = 0;     // first display line, 0-based
    std::uint64_t nol = 0;   // display lines
    int s = 12;              // 4 left only, 8 right only, 12 both
    int col = 1;             // 1 change, 2 insertion or deletion
    std::optional<DiffChunk> diffChunk;
    std::uint64_t c[2] = {0, 0};    // character index where the first line begins, left and right
    std::uint64_t lc[2] = {0, 0};   // index of the last character of the last line
    std::uint64_t lr = 0;           // row number
    std::vector<std::uint64_t> el;  // offsets of filler lines inside the change
    bool els = false;               // "el" taken from the left side
    int nz = 0;                     // ordinal from 1
};

struct DiffCommand {
    char letter = 0;
    std::uint64_t L1 = 0, L2 = 0, R1 = 0, R2 = 0;
};

class KDiffParser {
public:
    KDiffParser();
    ~KDiffParser();
    KDiffParser(KDiffParser&&) noexcept;
    KDiffParser& operator=(KDiffParser&&) noexcept;

    // Pairing similar lines searches with backtracking over every candidate
    // pair, word by word: it is tried only for blocks of at most 19 lines a
    // side, at most this many characters a side, and this many search steps.
    static constexpr qsizetype kMaxPairingChars = 4000;
    static constexpr int kMaxPairingSteps = 20000;

    enum class Outcome { Done, NotText, Failed, Cancelled };

    void setCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }

    // Work a caller does while the tool still compares the files: the tool
    // takes most of a comparison's time.
    struct WhileToolRuns {
        // Each file's lines (side 0, then side 1) as they are read, in order.
        std::function<void(int side, std::span<const DisplayLine> lines)> linesRead;
        // Once both files are read.
        std::function<void()> filesRead;
    };

    // Reads both files as UTF-8 and runs "/usr/bin/diff -d", keeping the
    // command lines of its output. NotText when a file is not UTF-8 or the
    // tool treats it as binary (the caller shows the hex view); Failed with
    // `error` set when the tool is missing, fails or prints what does not parse.
    // `whileToolRuns` is called while the files are read and the tool runs.
    Outcome ParseDiffFile1(const QString& file1, const QString& file2, bool& quickEqual, QString& error,
                           const WhileToolRuns& whileToolRuns = {});

    // The comparison of two texts given the tool's command lines. False with
    // `error` set when the commands do not fit the texts. `ahead`, when
    // given, holds words already split from the same texts' lines and
    // blocks already marked, whose marks are moved out of it.
    bool ParseDiff(const QString& commands, const QString& p1, const QString& p2, QString* error = nullptr,
                   ChangesAhead* ahead = nullptr);

    // "L1[,L2]{a|c|d}R1[,R2]" → the letter and the four numbers as text; 0 when not a command.
    static char ScannValuesFromCode(QStringView line, QString& val1, QString& val2, QString& val3, QString& val4);

    // Pairs every small line with a big line, in order; the index of the
    // partner for each small line, or nothing when no pairing is found.
    static std::optional<std::vector<int>> DopasujLinie(const QStringList& bigLines, const QStringList& smallLines,
                                                        const std::atomic<bool>* cancel = nullptr);
    static std::optional<std::pair<float, int>> FindNextDistanceIn(const QStringList& bigLines, const QString& smallItem,
                                                                   std::optional<std::pair<float, int>> after);

    // Marks for one line or block against the common word list.
    static std::vector<MarkRun> HighlightTextInRange(const QString& text, bool endsWithBreak,
                                                     const std::vector<QString>& commonWords);

    int iMode() const { return m_mode; }
    void setIMode(int mode) { m_mode = mode; }
    std::uint64_t iOrgNumOfLLines() const { return m_orgNumOfLLines; }
    std::uint64_t iOrgNumOfRLines() const { return m_orgNumOfRLines; }
    std::uint64_t iNumOfLines() const { return m_numOfLines; }
    std::uint64_t iNumOfLinesForR() const { return m_numOfLinesForR; }
    std::uint64_t iAddedLLines() const { return m_addedLLines; }
    std::uint64_t iAddedRLines() const { return m_addedRLines; }
    const std::vector<ChangeRecord>& iZmiany() const { return m_zmiany; }
    const std::vector<DisplayLine>& lines1() const { return m_lines1; }
    const std::vector<DisplayLine>& lines2() const { return m_lines2; }
    // Rows: one per unchanged line, one per change. They are not stored: a
    // row is found from the changes around it.
    std::size_t rowCount() const { return m_rowCount; }
    // A row's first display line and count of lines.
    std::pair<std::uint64_t, std::uint64_t> row(std::size_t r) const;
    // The row that holds a display line.
    std::size_t rowOfLine(std::uint64_t line) const;
    // A row's text: its lines joined, every line with its break except the last.
    QString rowText(int side, std::size_t row) const;
    // Calls `f` with each mark of a change's row, its offset in the row's text.
    template <class F>
    void forEachChangeMark(int side, const ChangeRecord& change, F&& f) const {
        const auto& lines = side == 0 ? m_lines1 : m_lines2;
        qsizetype offset = 0;
        for (std::uint64_t k = change.l; k < change.l + change.nol; ++k) {
            for (const MarkRun& m : lines[k].marks) f(MarkRun{m.start + offset, m.length, m.kind});
            offset += lines[k].text.size() + 1;
        }
    }
    const QStringList& diagnostics() const { return m_log; }

    void clear();

private:
    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    // A changed block whose words are compared once the lines stand aligned.
    struct BlockToMark {
        std::size_t line;        // its first display line
        std::size_t leftFileLine, rightFileLine;   // its first line in each file
        std::size_t leftCount, rightCount;
    };
    void markBlockByWords(const BlockToMark& block, ChangesAhead* ahead);
    void markBlocks(const std::vector<BlockToMark>& blocks, ChangesAhead* ahead);
    // ParseDiff on lines already cut from m_text1 and m_text2, with the
    // words of some lines split ahead.
    bool alignLines(const QString& commands, std::vector<DisplayLine> left, std::vector<DisplayLine> right,
                    QString* error, ChangesAhead* ahead = nullptr);
    void buildRows();

    const std::atomic<bool>* m_cancel = nullptr;
    // The words split and the blocks marked while the tool ran, kept with the
    // comparison: freeing their tens of thousands of small pieces, made on
    // another thread, would hold up the answer by a millisecond.
    std::unique_ptr<ChangesAhead> m_ahead;
    int m_mode = 2;
    std::uint64_t m_orgNumOfLLines = 0, m_orgNumOfRLines = 0, m_numOfLines = 0, m_numOfLinesForR = 0;
    std::uint64_t m_addedLLines = 0, m_addedRLines = 0;
    std::vector<ChangeRecord> m_zmiany;
    QString m_text1, m_text2;   // the compared texts, which the lines refer to
    std::vector<DisplayLine> m_lines1, m_lines2;
    std::size_t m_rowCount = 0;
    QStringList m_log;
};

// Splits a text into lines: a last line without a break counts, an empty text
// has none. The lines refer to the text's characters: keep it unchanged while they live.
std::vector<DisplayLine> splitTextLines(const QString& text);

}  // namespace qv
