#include "filecompare/KDiffParser.h"

#include "base/Messages.h"
#include "filecompare/BlockMarks.h"
#include "filecompare/ChangesAhead.h"
#include "filecompare/KLCS.h"
#include "filecompare/Levenshtein.h"
#include "filecompare/LineCutter.h"
#include "platform/HugePages.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <cfloat>
#include <cstring>
#include <thread>

namespace qv {

std::vector<DisplayLine> splitTextLines(const QString& text) {
    // Counted first: growing the table line by line would copy it a dozen
    // times and touch twice its memory.
    const auto* chars = reinterpret_cast<const char16_t*>(text.constData());
    LineCutter cutter(std::size_t(std::count(chars, chars + text.size(), u'\n')) + 1);
    cutter.finish(text);
    return std::move(cutter.lines());
}

KDiffParser::KDiffParser() = default;
KDiffParser::~KDiffParser() = default;
KDiffParser::KDiffParser(KDiffParser&&) noexcept = default;
KDiffParser& KDiffParser::operator=(KDiffParser&&) noexcept = default;

void KDiffParser::clear() {
    m_ahead.reset();
    m_zmiany.clear();
    m_lines1.clear();
    m_lines2.clear();
    m_text1.clear();
    m_text2.clear();
    m_rowCount = 0;
    m_log.clear();
    m_orgNumOfLLines = m_orgNumOfRLines = m_numOfLines = m_numOfLinesForR = 0;
    m_addedLLines = m_addedRLines = 0;
}

char KDiffParser::ScannValuesFromCode(QStringView line, QString& val1, QString& val2, QString& val3, QString& val4) {
    const auto isLetter = [](QChar c) { return c == u'c' || c == u'a' || c == u'd'; };
    qsizetype i = 0;
    const qsizetype n = line.size();
    const auto readUpTo = [&](auto stop) {
        const qsizetype from = i;
        while (i < n && !stop(line[i])) ++i;
        return line.mid(from, i - from).toString();
    };
    const auto skipToDigit = [&] {
        while (i < n && !line[i].isDigit()) ++i;
    };
    val1 = readUpTo([&](QChar c) { return c == u',' || isLetter(c); });
    if (val1.isEmpty()) return 0;
    val2.clear();
    if (i < n && line[i] == u',') {
        skipToDigit();
        val2 = readUpTo(isLetter);
        if (val2.isEmpty()) return 0;
    }
    if (i >= n || !isLetter(line[i])) return 0;
    const char letter = char(line[i].unicode());
    skipToDigit();
    if (i >= n) return 0;
    val3 = readUpTo([](QChar c) { return c == u','; });
    val4.clear();
    if (i < n) {
        skipToDigit();
        val4 = line.mid(i).toString();
    }
    if (val3.isEmpty()) return 0;
    if (val2.isEmpty()) val2 = val1;
    if (val4.isEmpty()) val4 = val3;
    return letter;
}

namespace {

struct Score {
    float d = 0;
    bool sharing = false;
};

bool sharesLongComponent(const QString& a, const QString& b) {
    const auto common = KLCS::WordCommonTextForString1(a, b);
    if (!common) return false;
    return std::any_of(common->begin(), common->end(), [](const QString& w) { return w.size() > 1; });
}

Score scorePair(const QString& small, const QString& candidate) {
    if (candidate.isEmpty()) return {small.isEmpty() ? 0.0f : float(small.size()) * 1000.0f, false};
    Score s{Levenshtein::compareWithString(small, candidate), sharesLongComponent(small, candidate)};
    if (!s.sharing) s.d *= 10.0f;
    return s;
}

template <class ScoreOf>
std::optional<std::pair<float, int>> findNext(int bigCount, ScoreOf scoreOf, std::optional<std::pair<float, int>> after) {
    const float d0 = after ? after->first : -1.0f;
    const int i0 = after ? after->second : -1;
    std::optional<int> best;
    float bestD = FLT_MAX;
    bool seenSharing = false;
    for (int j = i0 + 1; j < bigCount; ++j) {
        const Score s = scoreOf(j);
        if (s.sharing) seenSharing = true;
        if (!seenSharing) {
            if (s.d > d0) best = i0 + 1;
        } else if (d0 < s.d && s.d < bestD) {
            best = j;
            bestD = s.d;
        }
    }
    if (!best) return std::nullopt;
    return std::make_pair(bestD, *best);
}

void markWhole(DisplayLine& line, std::uint8_t kind) {
    line.marks = wholeLineMarks(line.text, kind);
}

DisplayLine fillerLine() {
    DisplayLine f;
    f.filler = true;
    return f;
}

// A side's lines grown to `total` with fillers at the given places (in
// increasing order), moving each line once from the back; lines before the
// first filler stay where they are.
std::vector<DisplayLine> withFillers(std::vector<DisplayLine> lines, const std::vector<std::size_t>& fillerAt,
                                     std::size_t total) {
    std::size_t from = lines.size();
    lines.resize(total);
    for (std::size_t f = fillerAt.size(), to = total; f > 0;) {
        --to;
        if (fillerAt[f - 1] == to) {
            lines[to] = fillerLine();
            --f;
        } else {
            lines[to] = std::move(lines[--from]);
        }
    }
    return lines;
}

// A command exactly as the tool writes it, "L1[,L2]{a|c|d}R1[,R2]", read
// without a string made for each number: a large comparison has thousands.
// Anything else is left to the lenient reading below.
std::optional<DiffCommand> commandAsWritten(QStringView line) {
    qsizetype i = 0;
    const auto number = [&](std::uint64_t& out) {
        const qsizetype from = i;
        out = 0;
        for (; i < line.size() && line[i] >= u'0' && line[i] <= u'9'; ++i) {
            if (i - from == 18) return false;   // longer ones may overflow: read leniently
            out = out * 10 + (line[i].unicode() - u'0');
        }
        return i > from;
    };
    const auto range = [&](std::uint64_t& first, std::uint64_t& last) {
        if (!number(first)) return false;
        last = first;
        if (i == line.size() || line[i] != u',') return true;
        ++i;
        return number(last);
    };
    DiffCommand c;
    if (!range(c.L1, c.L2) || i == line.size()) return std::nullopt;
    c.letter = char(line[i++].unicode());
    if ((c.letter != 'a' && c.letter != 'c' && c.letter != 'd') || !range(c.R1, c.R2) || i != line.size())
        return std::nullopt;
    return c;
}

std::optional<DiffCommand> commandReadLeniently(QStringView line) {
    QString v1, v2, v3, v4;
    const char letter = KDiffParser::ScannValuesFromCode(line, v1, v2, v3, v4);
    bool ok[4] = {false, false, false, false};
    const DiffCommand c{letter, v1.toULongLong(&ok[0]), v2.toULongLong(&ok[1]), v3.toULongLong(&ok[2]),
                        v4.toULongLong(&ok[3])};
    if (!letter || !ok[0] || !ok[1] || !ok[2] || !ok[3]) return std::nullopt;
    return c;
}

// The characters of display lines [from, to), each with its break.
std::uint64_t charactersOf(const std::vector<DisplayLine>& lines, std::size_t from, std::size_t to) {
    std::uint64_t n = 0;
    for (std::size_t i = from; i < to; ++i) n += std::uint64_t(lines[i].text.size()) + (lines[i].hasBreak ? 1 : 0);
    return n;
}

// The same for lines between two changes: no fillers, and one stretch of
// the file's text, cut from it in order. Their length is where the stretch
// ends less where it begins, without visiting the lines in between.
std::uint64_t charactersOfUnchanged(const std::vector<DisplayLine>& lines, std::size_t from, std::size_t to) {
    if (from == to) return 0;
    const DisplayLine& last = lines[to - 1];
    const QChar* end = last.text.constData() + last.text.size();
    return std::uint64_t(end - lines[from].text.constData()) + (last.hasBreak ? 1 : 0);
}

}  // namespace

std::optional<std::pair<float, int>> KDiffParser::FindNextDistanceIn(const QStringList& bigLines, const QString& smallItem,
                                                                     std::optional<std::pair<float, int>> after) {
    return findNext(int(bigLines.size()), [&](int j) { return scorePair(smallItem, bigLines[j]); }, after);
}

std::optional<std::vector<int>> KDiffParser::DopasujLinie(const QStringList& bigLines, const QStringList& smallLines,
                                                          const std::atomic<bool>* cancel) {
    const int nBig = int(bigLines.size()), nSmall = int(smallLines.size());
    // Every candidate pair is scored at most once, however often the search backs up.
    std::vector<std::optional<Score>> cache(std::size_t(nBig) * std::size_t(nSmall));
    std::vector<std::pair<float, int>> partners;
    std::optional<std::pair<float, int>> after;
    int steps = 0;
    int k = 0;
    while (k < nSmall) {
        if ((cancel && cancel->load(std::memory_order_relaxed)) || ++steps > kMaxPairingSteps) return std::nullopt;
        const auto scoreOf = [&](int j) {
            auto& slot = cache[std::size_t(k) * std::size_t(nBig) + std::size_t(j)];
            if (!slot) slot = scorePair(smallLines[k], bigLines[j]);
            return *slot;
        };
        const auto found = findNext(nBig, scoreOf, after);
        if (found) {
            partners.push_back(*found);
            after = found;
            ++k;
            continue;
        }
        if (partners.empty()) return std::nullopt;
        const float dropped = partners.back().first;
        partners.pop_back();
        --k;
        after = std::make_pair(dropped, partners.empty() ? -1 : partners.back().second);
    }
    std::vector<int> pairing;
    for (const auto& p : partners) pairing.push_back(p.second);
    return pairing;
}

std::vector<MarkRun> KDiffParser::HighlightTextInRange(const QString& text, bool endsWithBreak,
                                                       const std::vector<QString>& commonWords) {
    const std::vector<QStringView> common(commonWords.begin(), commonWords.end());
    return highlightComponents(KLCS::SplitComponentsFrom(text), text.size(), endsWithBreak, common);
}

bool KDiffParser::ParseDiff(const QString& commands, const QString& p1, const QString& p2, QString* error,
                            ChangesAhead* ahead) {
    // The lines point into these two: they live as long as the lines.
    m_text1 = p1;
    m_text2 = p2;
    return alignLines(commands, splitTextLines(m_text1), splitTextLines(m_text2), error, ahead);
}

bool KDiffParser::alignLines(const QString& commands, std::vector<DisplayLine> left, std::vector<DisplayLine> right,
                             QString* error, ChangesAhead* ahead) {
    m_orgNumOfLLines = left.size();
    m_orgNumOfRLines = right.size();
    m_zmiany.clear();
    m_lines1.clear();
    m_lines2.clear();
    m_addedLLines = m_addedRLines = 0;

    const auto fail = [&](const QString& line) {
        if (error) *error = Messages::format("fcBadDiffOutput", line);
        return false;
    };

    // Each side keeps its lines in their order; alignment only puts fillers
    // between them. Where the fillers go is noted here and the lines are
    // moved once at the end, those before the first filler not at all.
    std::vector<std::size_t> fillersLeft, fillersRight;
    std::size_t aligned = 0;   // display lines so far
    const auto place = [&](bool leftFiller, bool rightFiller) {
        if (leftFiller) fillersLeft.push_back(aligned);
        if (rightFiller) fillersRight.push_back(aligned);
        ++aligned;
    };

    const QList<QStringView> commandLines = QStringView(commands).split(u'\n');
    // A record or a block for each command at most: the tables never grow by copying.
    m_zmiany.reserve(std::size_t(commandLines.size()));
    std::vector<BlockToMark> blocksToMark;
    blocksToMark.reserve(std::size_t(commandLines.size()));
    std::size_t pl = 0, pr = 0;   // next unconsumed line of each side
    for (QStringView lineView : commandLines) {
        if (lineView.isEmpty()) continue;
        if (cancelled()) return false;
        std::optional<DiffCommand> parsed = commandAsWritten(lineView);
        if (!parsed) parsed = commandReadLeniently(lineView);
        if (!parsed) {
            m_log.append(QStringLiteral("Code error: %1").arg(lineView));
            continue;
        }
        const DiffCommand cmd = *parsed;
        const char letter = cmd.letter;
        if (cmd.L2 < cmd.L1 || cmd.R2 < cmd.R1) return fail(lineView.toString());
        // Unchanged lines before the command: up to and including the line named
        // by a lone "after" number, up to but excluding a changed block's first line.
        const std::uint64_t leftBefore = letter == 'a' ? cmd.L1 : cmd.L1 - 1;
        const std::uint64_t rightBefore = letter == 'd' ? cmd.R1 : cmd.R1 - 1;
        const std::uint64_t leftEnd = letter == 'a' ? cmd.L1 : cmd.L2;
        const std::uint64_t rightEnd = letter == 'd' ? cmd.R1 : cmd.R2;
        if ((letter != 'a' && cmd.L1 == 0) || (letter != 'd' && cmd.R1 == 0) || leftBefore < pl || rightBefore < pr ||
            leftBefore - pl != rightBefore - pr || leftEnd > left.size() || rightEnd > right.size())
            return fail(lineView.toString());
        aligned += leftBefore - pl;
        pr += leftBefore - pl;
        pl = leftBefore;

        ChangeRecord record;
        record.l = aligned;
        record.diffChunk = DiffChunk::parseCommand(lineView);
        record.col = letter == 'c' ? 1 : 2;
        record.s = letter == 'c' ? 12 : letter == 'a' ? 8 : 4;
        const std::uint64_t dl = cmd.L2 - cmd.L1, dr = cmd.R2 - cmd.R1;
        record.nol = std::max(dl, dr) + 1;

        if (letter == 'd') {
            for (; pl < leftEnd; ++pl) {
                markWhole(left[pl], MarkRemoved);
                place(false, true);
                ++m_addedRLines;
            }
        } else if (letter == 'a') {
            for (; pr < rightEnd; ++pr) {
                markWhole(right[pr], MarkAdded);
                place(true, false);
                ++m_addedLLines;
            }
        } else {
            const std::size_t lFrom = pl, lCount = dl + 1, rFrom = pr, rCount = dr + 1;
            std::optional<std::vector<int>> pairing;
            const bool bigLeft = dl > dr;
            if (pairedLineByLine({&left[lFrom], lCount, lFrom}, {&right[rFrom], rCount, rFrom})) {
                QStringList big, small;
                for (std::size_t k = 0; k < lCount; ++k) (bigLeft ? big : small).append(left[lFrom + k].text.toString());
                for (std::size_t k = 0; k < rCount; ++k) (bigLeft ? small : big).append(right[rFrom + k].text.toString());
                pairing = DopasujLinie(big, small, m_cancel);
                if (cancelled()) return false;
                if (!pairing) m_log.append(QStringLiteral("NOT FOUND"));
            }
            if (pairing) {
                std::vector<DisplayLine>& bigSide = bigLeft ? left : right;
                std::vector<DisplayLine>& smallSide = bigLeft ? right : left;
                const std::size_t bigAt = bigLeft ? lFrom : rFrom, smallAt = bigLeft ? rFrom : lFrom;
                const std::size_t bigCount = bigLeft ? lCount : rCount;
                std::size_t nextSmall = 0;
                for (std::size_t j = 0; j < bigCount; ++j) {
                    DisplayLine& bl = bigSide[bigAt + j];
                    const bool paired = nextSmall < pairing->size() && std::size_t((*pairing)[nextSmall]) == j;
                    if (paired) {
                        DisplayLine& sl = smallSide[smallAt + nextSmall];
                        const auto smallComps = KLCS::SplitComponentsFrom(sl.text);
                        const auto bigComps = KLCS::SplitComponentsFrom(bl.text);
                        const auto common =
                            KLCS::CommonComponents(smallComps, bigComps).value_or(std::vector<QStringView>{});
                        sl.marks = highlightComponents(smallComps, sl.text.size(), false, common);
                        bl.marks = highlightComponents(bigComps, bl.text.size(), false, common);
                        ++nextSmall;
                    } else {
                        markWhole(bl, bigLeft ? MarkRemoved : MarkAdded);
                        (bigLeft ? m_addedRLines : m_addedLLines)++;
                    }
                    place(!bigLeft && !paired, bigLeft && !paired);
                }
            } else {
                blocksToMark.push_back({record.l, lFrom, rFrom, lCount, rCount});
                for (std::size_t k = 0; k < record.nol; ++k) place(k >= lCount, k >= rCount);
                if (lCount < rCount) m_addedLLines += rCount - lCount;
                if (rCount < lCount) m_addedRLines += lCount - rCount;
            }
            pl = lFrom + lCount;
            pr = rFrom + rCount;
        }
        m_zmiany.push_back(std::move(record));
    }
    if (left.size() - pl != right.size() - pr)
        return fail(QStringLiteral("%1/%2").arg(left.size() - pl).arg(right.size() - pr));
    aligned += left.size() - pl;
    m_lines1 = withFillers(std::move(left), fillersLeft, aligned);
    m_lines2 = withFillers(std::move(right), fillersRight, aligned);
    m_numOfLines = std::max(m_orgNumOfLLines + m_addedLLines, m_orgNumOfRLines + m_addedRLines);
    m_numOfLinesForR = m_orgNumOfRLines + m_addedRLines;

    // Character positions in the aligned texts, every line counted with its break.
    std::size_t line = 0;
    std::uint64_t position[2] = {0, 0};
    for (ChangeRecord& r : m_zmiany) {
        const std::size_t end = r.l + r.nol;
        for (int side = 0; side < 2; ++side) {
            const auto& lines = side == 0 ? m_lines1 : m_lines2;
            r.c[side] = position[side] += charactersOfUnchanged(lines, line, r.l);
            position[side] += charactersOf(lines, r.l, end);
            r.lc[side] = position[side] - (position[side] > 0 ? 1 : 0);
        }
        line = end;
    }
    buildRows();
    markBlocks(blocksToMark, ahead);
    return !cancelled();
}

void KDiffParser::markBlockByWords(const BlockToMark& b, ChangesAhead* ahead) {
    std::optional<BlockMarks> guessed =
        ahead ? ahead->takeMarksOf(b.leftFileLine, b.leftCount, b.rightFileLine, b.rightCount) : std::nullopt;
    BlockMarks marks = guessed ? std::move(*guessed)
                               : markChangedBlock({&m_lines1[b.line], b.leftCount, b.leftFileLine},
                                                  {&m_lines2[b.line], b.rightCount, b.rightFileLine}, ahead);
    for (std::size_t k = 0; k < b.leftCount; ++k) m_lines1[b.line + k].marks = std::move(marks.left[k]);
    for (std::size_t k = 0; k < b.rightCount; ++k) m_lines2[b.line + k].marks = std::move(marks.right[k]);
}

void KDiffParser::markBlocks(const std::vector<BlockToMark>& blocks, ChangesAhead* ahead) {
    // Blocks touch lines of their own only, so two threads can share them:
    // the word comparison is most of the work left once the tool is done.
    const auto markRange = [&](std::size_t from, std::size_t to) {
        for (std::size_t i = from; i < to && !cancelled(); ++i) markBlockByWords(blocks[i], ahead);
    };
    constexpr std::size_t kWorthAThread = 256;
    if (blocks.size() < kWorthAThread) {
        markRange(0, blocks.size());
        return;
    }
    const std::size_t half = blocks.size() / 2;
    std::thread helper(markRange, half, blocks.size());
    markRange(0, half);
    helper.join();
}

void KDiffParser::buildRows() {
    std::uint64_t line = 0;
    std::size_t rows = 0;
    int nz = 0;
    for (ChangeRecord& r : m_zmiany) {
        rows += r.l - line;
        r.lr = rows++;
        r.nz = ++nz;
        line = r.l + r.nol;
        for (int side = 0; side < 2; ++side) {
            const auto& lines = side == 0 ? m_lines1 : m_lines2;
            std::vector<std::uint64_t> el;
            for (std::uint64_t k = 0; k < r.nol; ++k) {
                const DisplayLine& dl = lines[r.l + k];
                if (dl.filler || (k + 1 == r.nol && dl.text.isEmpty())) el.push_back(k);
            }
            if (!el.empty()) {
                r.el = std::move(el);
                r.els = side == 0;
            }
        }
    }
    m_rowCount = rows + (m_lines1.size() - line);
}

std::pair<std::uint64_t, std::uint64_t> KDiffParser::row(std::size_t r) const {
    // The last change at or before the row: the rows after it, up to the
    // next change, are its following lines one by one.
    const auto after = std::upper_bound(m_zmiany.begin(), m_zmiany.end(), std::uint64_t(r),
                                        [](std::uint64_t row, const ChangeRecord& c) { return row < c.lr; });
    if (after == m_zmiany.begin()) return {r, 1};
    const ChangeRecord& change = *(after - 1);
    if (change.lr == r) return {change.l, change.nol};
    return {change.l + change.nol + (r - change.lr - 1), 1};
}

std::size_t KDiffParser::rowOfLine(std::uint64_t line) const {
    const auto after = std::upper_bound(m_zmiany.begin(), m_zmiany.end(), line,
                                        [](std::uint64_t l, const ChangeRecord& c) { return l < c.l; });
    if (after == m_zmiany.begin()) return std::size_t(line);
    const ChangeRecord& change = *(after - 1);
    const std::uint64_t end = change.l + change.nol;
    return std::size_t(line < end ? change.lr : change.lr + 1 + (line - end));
}

QString KDiffParser::rowText(int side, std::size_t row) const {
    const auto& lines = side == 0 ? m_lines1 : m_lines2;
    const auto [first, count] = this->row(row);
    QString t;
    for (std::uint64_t k = 0; k < count; ++k) {
        if (k > 0) t += QLatin1Char('\n');
        t += lines[first + k].text;
    }
    return t;
}

namespace {

// How many of the n bytes end where a UTF-8 character ends: a sequence cut
// at the end is left for the next piece.
qsizetype wholeUtf8Prefix(const char* p, qsizetype n) {
    for (qsizetype k = 1; k <= std::min<qsizetype>(3, n); ++k) {
        const auto c = static_cast<unsigned char>(p[n - k]);
        if (c < 0x80) return n;
        if (c >= 0xC0) {
            const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            return length > k ? n - k : n;
        }
    }
    return n;
}

// The command lines ("12,14c12,15") of the tool's output as it arrives, the
// lines of text it quotes ("< ", "> ", "---") left out.
class CommandLines {
public:
    void take(const QByteArray& piece) {
        m_partial += piece;
        qsizetype start = 0;
        for (qsizetype end; (end = m_partial.indexOf('\n', start)) >= 0; start = end + 1)
            if (std::isdigit(static_cast<unsigned char>(m_partial[start]))) m_lines.append(m_partial.constData() + start, end + 1 - start);
        m_partial.remove(0, start);
    }
    // The command lines, the last one even without its line end.
    const QByteArray& lines() {
        if (!m_partial.isEmpty() && std::isdigit(static_cast<unsigned char>(m_partial[0]))) m_lines += m_partial;
        m_partial.clear();
        return m_lines;
    }

private:
    QByteArray m_partial;   // a line the output has not ended yet
    QByteArray m_lines;
};

// Reads a file as UTF-8 a piece at a time into a text sized for all of it:
// the file's bytes are never held whole beside their decoded form, which
// for a large file halves what is allocated and faulted in.
// `decoded` is called after each piece with the text decoded so far.
bool readUtf8File(const QString& path, QString& out, const std::function<void(QStringView)>& decoded) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    // A piece's text stays in the processor's cache for `decoded` to use.
    constexpr qsizetype kPiece = qsizetype(1) << 18;
    QByteArray piece(kPiece + 4, Qt::Uninitialized);
    QStringDecoder decoder(QStringDecoder::Utf8);
    // A UTF-8 byte never makes more than one UTF-16 unit.
    out = QString(qsizetype(std::max<qint64>(f.size(), 0)) + 4, Qt::Uninitialized);
    platform::adviseHugePages(out.constData(), std::size_t(out.size()) * sizeof(QChar));
    qsizetype used = 0, carried = 0;
    for (;;) {
        const qint64 n = f.read(piece.data() + carried, kPiece);
        if (n < 0) return false;
        const qsizetype have = carried + qsizetype(n);
        const qsizetype whole = wholeUtf8Prefix(piece.constData(), have);
        // A character cut by the end of the file is an error the decoder,
        // which keeps it waiting for more, would not report.
        if (n == 0 && whole != have) return false;
        // The file may have grown since it was measured.
        const qsizetype room = used + decoder.requiredSpace(whole);
        if (out.size() < room) out.resize(std::max(room, out.size() * 2));
        used = decoder.appendToBuffer(out.data() + used, QByteArrayView(piece.constData(), whole)) - out.constData();
        if (decoder.hasError()) return false;
        decoded(QStringView(out.constData(), used));
        if (n == 0) break;
        carried = have - whole;
        std::memmove(piece.data(), piece.constData() + whole, std::size_t(carried));
    }
    out.truncate(used);
    return true;
}

}  // namespace

KDiffParser::Outcome KDiffParser::ParseDiffFile1(const QString& file1, const QString& file2, bool& quickEqual,
                                                 QString& error, const WhileToolRuns& whileToolRuns) {
    clear();
    m_mode = 2;

    static const QString kDiff = QStringLiteral("/usr/bin/diff");
    QProcess diff;
    diff.setProgram(kDiff);
    diff.setArguments({QStringLiteral("-d"), file1, file2});
    diff.start();
    if (!diff.waitForStarted()) {
        error = Messages::format("fcToolMissing", kDiff);
        return Outcome::Failed;
    }
    // Each file is cut into lines as it is decoded.
    const auto read = [&](int side, const QString& path, QString& text) {
        LineCutter::LinesCut linesCut;
        if (whileToolRuns.linesRead) linesCut = [&](std::span<const DisplayLine> lines) { whileToolRuns.linesRead(side, lines); };
        // Room for lines of 16 characters on average; only what is used costs memory.
        auto cutter = std::make_unique<LineCutter>(std::size_t(QFileInfo(path).size() / 16) + 64, std::move(linesCut));
        if (!readUtf8File(path, text, [&](QStringView decoded) { cutter->take(decoded); })) return std::unique_ptr<LineCutter>();
        cutter->finish(text);
        return cutter;
    };
    const auto left = read(0, file1, m_text1);
    const auto right = left ? read(1, file2, m_text2) : nullptr;
    if (!left || !right) {
        diff.kill();
        diff.waitForFinished();
        return Outcome::NotText;
    }
    if (whileToolRuns.filesRead) whileToolRuns.filesRead();
    m_ahead = std::make_unique<ChangesAhead>();
    ChangesAhead& ahead = *m_ahead;
    // Whatever way this ends, the helper stops before the lines it reads go.
    const auto stopAhead = qScopeGuard([&] { ahead.finish(); });
    ahead.start(left->lines(), right->lines(), std::move(left->hashes()), std::move(right->hashes()));
    CommandLines output;
    while (diff.state() != QProcess::NotRunning) {
        if (cancelled()) {
            diff.kill();
            diff.waitForFinished();
            return Outcome::Cancelled;
        }
        diff.waitForReadyRead(200);
        output.take(diff.readAllStandardOutput());
    }
    output.take(diff.readAllStandardOutput());
    ahead.finish();
    const QByteArray diffErrors = diff.readAllStandardError().trimmed();
    if (diff.exitStatus() != QProcess::NormalExit || diff.exitCode() > 1) {
        error = Messages::format("fcToolFailed", kDiff, QString::fromUtf8(diffErrors));
        return Outcome::Failed;
    }
    // The tool calls a file with a NUL byte binary and prints no commands for it.
    if (diff.exitCode() == 1 && output.lines().isEmpty()) return Outcome::NotText;
    const QString commands = QString::fromUtf8(output.lines());
    if (cancelled()) return Outcome::Cancelled;
    if (!alignLines(commands, std::move(left->lines()), std::move(right->lines()), &error, &ahead))
        return cancelled() ? Outcome::Cancelled : Outcome::Failed;
    quickEqual = commands.isEmpty();
    return Outcome::Done;
}

}  // namespace qv
