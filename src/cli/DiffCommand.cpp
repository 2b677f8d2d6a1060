#include "cli/DiffCommand.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "app/HeadlessPrompt.h"
#include "app/history/FolderHistory.h"
#include "filecompare/FileCompareRun.h"
#include "filecompare/KFileMerger.h"
#include "filecompare/TextConventions.h"
#include "platform/DurableFile.h"
#include "platform/HugePages.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"
#include "cli/TerminalColour.h"

#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <charconv>
#include <memory>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cstdio>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <sys/ioctl.h>
#include <sys/uio.h>
#include <utility>
#include <vector>
#include <unistd.h>

namespace qv {

namespace {

int fail(const QString& message) { return failLine(message); }

// The bytes a JSON string cannot hold as they are.
constexpr auto kNeedsEscape = [] {
    std::array<bool, 256> table{};
    for (int c = 0; c < 0x20; ++c) table[static_cast<std::size_t>(c)] = true;
    table['"'] = table['\\'] = true;
    return table;
}();

// Texts as JSON strings, with their quotes. The row lists of a large pair
// are hundreds of thousands of lines: ASCII ones go straight from UTF-16 to
// escaped bytes in one pass, others through one reused encoding buffer,
// never an allocation per line.
class JsonStrings {
public:
    // The most a text of n UTF-16 units takes: a control character is six
    // bytes, any other unit at most three.
    static std::size_t room(std::size_t n) { return 6 * n + 2; }

    // Writes `s` at `to`, which has room(s.size()) bytes; returns the end.
    char* write(char* to, QStringView s) {
        // constData, not utf16: the lines refer to the file's text, and utf16
        // would copy each one to end it with a zero.
        const auto* chars = reinterpret_cast<const char16_t*>(s.constData());
        const auto n = static_cast<std::size_t>(s.size());
        char* const start = to;
        *to++ = '"';
        for (std::size_t i = 0; i < n; ++i) {
#ifdef __SSE2__
            // Eight characters at a time, as long as they are plain (printable
            // ASCII without a quote or a backslash): all eight are stored, and
            // the output moves past the plain ones only. A block all plain,
            // the usual case, moves on by eight without waiting for the count.
            while (i + 8 <= n) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + i));
                const __m128i printable = _mm_and_si128(_mm_cmpgt_epi16(v, _mm_set1_epi16(0x1f)),
                                                        _mm_cmplt_epi16(v, _mm_set1_epi16(0x80)));
                const __m128i special = _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('"')),
                                                     _mm_cmpeq_epi16(v, _mm_set1_epi16('\\')));
                const unsigned plain = static_cast<unsigned>(_mm_movemask_epi8(_mm_andnot_si128(special, printable)));
                _mm_storel_epi64(reinterpret_cast<__m128i*>(to), _mm_packus_epi16(v, v));
                if (plain == 0xffff) {
                    to += 8;
                    i += 8;
                    continue;
                }
                const unsigned count = static_cast<unsigned>(__builtin_ctz(~plain)) / 2;
                to += count;
                i += count;
                break;
            }
            if (i >= n) break;
#endif
            const char16_t c = chars[i];
            if (c >= 0x80) {
                const auto needed = static_cast<std::size_t>(m_encoder.requiredSpace(s.size()));
                if (m_encoded.size() < needed) m_encoded.resize(needed);
                char* end = m_encoder.appendToBuffer(m_encoded.data(), s);
                return writeBytes(start, std::string_view(m_encoded.data(), static_cast<std::size_t>(end - m_encoded.data())));
            }
            if (!kNeedsEscape[c]) {
                *to++ = static_cast<char>(c);
                continue;
            }
            to = escaped(static_cast<unsigned char>(c), to);
        }
        *to++ = '"';
        return to;
    }

    // UTF-8 bytes, written at `to` with room(utf8.size()) bytes; runs of
    // plain bytes are copied whole.
    static char* writeBytes(char* to, std::string_view utf8) {
        *to++ = '"';
        std::size_t start = 0;
        for (std::size_t i = 0; i < utf8.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(utf8[i]);
            if (!kNeedsEscape[c]) continue;
            to = std::copy(utf8.data() + start, utf8.data() + i, to);
            start = i + 1;
            to = escaped(c, to);
        }
        to = std::copy(utf8.data() + start, utf8.data() + utf8.size(), to);
        *to++ = '"';
        return to;
    }

    void append(std::string& out, QStringView s) {
        char* end = write(scratch(static_cast<std::size_t>(s.size())), s);
        out.append(m_line.data(), static_cast<std::size_t>(end - m_line.data()));
    }
    void append(std::string& out, std::string_view utf8) {
        char* end = writeBytes(scratch(utf8.size()), utf8);
        out.append(m_line.data(), static_cast<std::size_t>(end - m_line.data()));
    }

private:
    static char* escaped(unsigned char c, char* out) {
        static constexpr char kHex[] = "0123456789abcdef";
        *out++ = '\\';
        switch (c) {
            case '"': *out++ = '"'; break;
            case '\\': *out++ = '\\'; break;
            case '\n': *out++ = 'n'; break;
            case '\t': *out++ = 't'; break;
            case '\r': *out++ = 'r'; break;
            default:
                *out++ = 'u';
                *out++ = '0';
                *out++ = '0';
                *out++ = kHex[c >> 4];
                *out++ = kHex[c & 15];
        }
        return out;
    }

    char* scratch(std::size_t n) {
        if (m_line.size() < room(n)) m_line.resize(room(n));
        return m_line.data();
    }

    std::string m_line;      // one text written, reused
    std::string m_encoded;   // one text's UTF-8 bytes, reused
    QStringEncoder m_encoder{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};

// Output collected in a buffer and written in large pieces. A large diff's
// records are hundreds of thousands of short pieces: the text pieces of the
// program's own (literals) are copied by their known length. Text that
// lives on until the output ends (the rendered lines) is not copied: it is
// written from where it lies, between the buffer's pieces, by one writev.
class Out {
public:
    // What the C library holds for standard output goes first.
    Out() { std::fflush(stdout); }
    ~Out() { flush(); }
    Out(const Out&) = delete;
    Out& operator=(const Out&) = delete;
    template <std::size_t N>
    Out& operator<<(const char (&literal)[N]) {
        return *this << std::string_view(literal, N - 1);
    }
    Out& operator<<(std::string_view s) {
        if (s.size() > kBuffered) {
            // A large piece goes out as it is rather than through the buffer.
            flush();
            writeAll({{const_cast<char*>(s.data()), s.size()}});
            return *this;
        }
        m_buf.append(s);
        flushWhenFull();
        return *this;
    }
    Out& operator<<(char c) {
        m_buf += c;
        return *this;
    }
    Out& operator<<(const QString& s) {
        const QByteArray utf8 = s.toUtf8();
        return *this << std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    }
    // Numbers straight into the buffer.
    Out& operator<<(std::uint64_t n) { return number(n); }
    Out& operator<<(qsizetype n) { return number(n); }
    Out& operator<<(int n) { return number(n); }
    // Text that stays as it is until the output is flushed, written from where it lies.
    Out& kept(std::string_view s) {
        m_kept.push_back({m_buf.size(), s});
        if (m_kept.size() >= kKeptPieces) flush();
        return *this;
    }
    void flush() {
        std::vector<iovec> pieces;
        pieces.reserve(2 * m_kept.size() + 1);
        std::size_t from = 0;
        const auto add = [&](const char* data, std::size_t size) {
            if (size) pieces.push_back({const_cast<char*>(data), size});
        };
        for (const Kept& k : m_kept) {
            add(m_buf.data() + from, k.bufferBefore - from);
            add(k.text.data(), k.text.size());
            from = k.bufferBefore;
        }
        add(m_buf.data() + from, m_buf.size() - from);
        writeAll(std::move(pieces));
        m_buf.clear();
        m_kept.clear();
    }
    // A JSON string with its quotes.
    void json(QStringView s) {
        m_strings.append(m_buf, s);
        flushWhenFull();
    }
    void json(std::string_view utf8) {
        m_strings.append(m_buf, utf8);
        flushWhenFull();
    }

private:
    // A kept piece, and how much of the buffer goes before it.
    struct Kept {
        std::size_t bufferBefore;
        std::string_view text;
    };

    // Writes every piece in order, past short writes and interruptions. A
    // reader that went away ends the writing: there is no one to tell.
    static void writeAll(std::vector<iovec> pieces) {
        std::size_t next = 0;
        while (next < pieces.size()) {
            const int count = int(std::min<std::size_t>(pieces.size() - next, IOV_MAX));
            ssize_t written = ::writev(STDOUT_FILENO, pieces.data() + next, count);
            if (written < 0) {
                if (errno == EINTR) continue;
                return;
            }
            for (; next < pieces.size() && std::size_t(written) >= pieces[next].iov_len; ++next)
                written -= ssize_t(pieces[next].iov_len);
            if (next < pieces.size()) {
                pieces[next].iov_base = static_cast<char*>(pieces[next].iov_base) + written;
                pieces[next].iov_len -= std::size_t(written);
            }
        }
    }

    template <class Number>
    Out& number(Number n) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
        m_buf.append(digits, std::size_t(end - digits));
        return *this;
    }

    static constexpr std::size_t kKeptPieces = 512;
    static constexpr std::size_t kBuffered = std::size_t(1) << 16;
    void flushWhenFull() {
        if (m_buf.size() > kBuffered) flush();
    }

    std::string m_buf;
    std::vector<Kept> m_kept;
    JsonStrings m_strings;
};

// Every line of a file as a JSON string, made while the line tool still
// compares the files, one after the other with commas between: the row
// lists are most of the output, and a run of unchanged rows is a run of the
// file's lines, written as one piece.
class RenderedLines {
public:
    // Room for the lines of a file of `bytes` bytes. Plain lines take their
    // length, two quotes and a comma; escapes grow a line (a quote to two
    // bytes, a control character to six). Room for twice the file is
    // allocated and never cleared: only what is written costs memory. A text
    // that needs more moves to a larger buffer.
    void start(qint64 bytes) {
        m_size = 0;
        m_ends.clear();
        reserve(2 * std::size_t(std::max<qint64>(bytes, 0)) + 64);
        m_ends.reserve(std::size_t(std::max<qint64>(bytes, 0)) / 16 + 64);
        platform::adviseHugePages(m_ends.data(), m_ends.capacity() * sizeof(std::size_t));
    }
    // The file's next lines, each written straight into the buffer.
    void append(std::span<const DisplayLine> lines) {
        for (const DisplayLine& line : lines) {
            const std::size_t needed = m_size + 1 + JsonStrings::room(std::size_t(line.text.size()));
            if (needed > m_capacity) reserve(std::max(2 * m_capacity, needed));
            if (!m_ends.empty()) m_text[m_size++] = ',';
            m_size = std::size_t(m_json.write(m_text.get() + m_size, line.text) - m_text.get());
            m_ends.push_back(m_size);
        }
    }
    std::size_t size() const { return m_ends.size(); }
    // Lines `from` to `to` (excluded) of the file, from 0, as a JSON list's items.
    std::string_view lines(std::size_t from, std::size_t to) const {
        const std::size_t begin = from ? m_ends[from - 1] + 1 : 0;
        return std::string_view(m_text.get() + begin, m_ends[to - 1] - begin);
    }

private:
    void reserve(std::size_t capacity) {
        // Left uninitialised: a page is touched only when a line is written to it.
        std::unique_ptr<char[]> larger(new char[capacity]);
        platform::adviseHugePages(larger.get(), capacity);
        if (m_size) std::memcpy(larger.get(), m_text.get(), m_size);
        m_text = std::move(larger);
        m_capacity = capacity;
    }

    std::unique_ptr<char[]> m_text;
    std::size_t m_size = 0, m_capacity = 0;
    std::vector<std::size_t> m_ends;
    JsonStrings m_json;
};

void writeMarks(Out& out, const std::vector<MarkRun>& marks) {
    out << '[';
    for (std::size_t i = 0; i < marks.size(); ++i) {
        if (i) out << ',';
        out << '[' << marks[i].start << ',' << marks[i].length << ',' << int(marks[i].kind) << ']';
    }
    out << ']';
}

void writeChangeMarks(Out& out, const KDiffParser& p, int side, const ChangeRecord& change) {
    out << '[';
    bool any = false;
    p.forEachChangeMark(side, change, [&](const MarkRun& m) {
        if (std::exchange(any, true)) out << ',';
        out << '[' << m.start << ',' << m.length << ',' << int(m.kind) << ']';
    });
    out << ']';
}

void writeRecord(Out& out, const ChangeRecord& r) {
    out << "{\"nz\":" << r.nz << ",\"l\":" << r.l << ",\"nol\":" << r.nol << ",\"s\":" << r.s << ",\"col\":" << r.col
        << ",\"lr\":" << r.lr << ",\"c\":[" << r.c[0] << "," << r.c[1] << "],\"lc\":[" << r.lc[0] << "," << r.lc[1]
        << "]";
    if (!r.el.empty()) {
        out << ",\"el\":[";
        for (std::size_t i = 0; i < r.el.size(); ++i) {
            if (i) out << ',';
            out << r.el[i];
        }
        out << "],\"els\":" << std::string_view(r.els ? "true" : "false");
    }
    if (r.diffChunk) {
        const DiffChunk& d = *r.diffChunk;
        out << ",\"diffChunk\":{\"type\":" << int(d.type) << ",\"isLeftChunk\":"
            << std::string_view(d.isLeftChunk ? "true" : "false") << ",\"leftRange\":[" << d.leftRange.location << ","
            << d.leftRange.length << "],\"rightRange\":[" << d.rightRange.location << "," << d.rightRange.length << "]}";
    }
}

struct Options {
    QString left, right;
    std::optional<FileCompareType> type;   // unset: the setting "fileType"
    bool json = false;
    bool colour = false;
    QString plan, outPath;
    bool merge = false, force = false;
    std::optional<int> unified;
};

// The stored choice of the file type: 0 automatic, 1 text, 2 hex, 3 quick check.
FileCompareType typeFromSetting() {
    const qint64 stored = Settings::instance().intValue(QStringLiteral("fileType"));
    return stored >= 0 && stored <= 3 ? static_cast<FileCompareType>(stored) : FileCompareType::Automatic;
}

int terminalWidth() {
    winsize ws{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20) return ws.ws_col;
    if (const char* c = std::getenv("COLUMNS"); c && std::atoi(c) > 20) return std::atoi(c);
    return 160;
}

const char* markColour(std::uint8_t kind) {
    switch (kind) {
        case MarkAdded:
        case MarkRemoved: return "\x1b[30;46m";
        case MarkChanged: return "\x1b[30;43m";
        default: return "";
    }
}

// A line with its tabs expanded to stops every 8 columns and other control
// characters shown as ".", and where each original character now starts.
QString expandedLine(QStringView text, std::vector<qsizetype>& at) {
    QString t;
    at.assign(std::size_t(text.size()) + 1, 0);
    for (qsizetype i = 0; i < text.size(); ++i) {
        at[std::size_t(i)] = t.size();
        const QChar c = text[i];
        if (c == QLatin1Char('\t')) t += QString(8 - t.size() % 8, QLatin1Char(' '));
        else t += c.unicode() < 32 ? QLatin1Char('.') : c;
    }
    at.back() = t.size();
    return t;
}

// A line cut or padded to `width` characters, its marks as colours.
std::string cell(QStringView text, std::span<const MarkRun> marks, int width, bool colour) {
    std::vector<qsizetype> at;
    QString t = expandedLine(text, at);
    t.truncate(width);
    std::string out;
    qsizetype done = 0;
    if (colour) {
        for (const MarkRun& m : marks) {
            if (m.kind == MarkSame || m.start >= text.size()) continue;
            const qsizetype start = at[std::size_t(m.start)];
            const qsizetype end = at[std::size_t(std::min(text.size(), m.start + m.length))];
            const qsizetype s = std::max(done, start), e = std::min(t.size(), end);
            if (s >= e) continue;
            out += t.mid(done, s - done).toStdString();
            out += markColour(m.kind);
            out += t.mid(s, e - s).toStdString();
            out += "\x1b[0m";
            done = e;
        }
    }
    out += t.mid(done).toStdString();
    out.append(std::size_t(width - t.size()), ' ');
    return out;
}

// What the metadata check of two files with equal contents found.
struct Metadata {
    int code = 0;   // FileCompareRun::CompareMetadataFile, 0 when the contents differ

    static Metadata of(bool equal, const QString& left, const QString& right) {
        return {equal ? FileCompareRun::CompareMetadataFile(left, right) : 0};
    }
    bool attributes() const { return code & FileCompareRun::kAttributesDiffer; }
    bool tags() const { return code & FileCompareRun::kTagsDiffer; }
    // The JSON members that report it.
    std::string json() const {
        return std::string(",\"attributesDiffer\":") + (attributes() ? "true" : "false") +
               ",\"tagsDiffer\":" + (tags() ? "true" : "false");
    }
    // The lines that say the files are equal, and in what they still differ.
    QString equalText(bool lineEndsDiffer = false) const {
        QString text = lineEndsDiffer ? Messages::text("FilesEqualLineEnds") : QString();
        if (code == FileCompareRun::kEqual) return lineEndsDiffer ? text : Messages::text("FilesEqual");
        if (!text.isEmpty()) text += '\n';
        text += Messages::text("FilesEqual2");
        if (attributes()) text += '\n' + Messages::text("fileMetaDiff");
        if (tags()) text += '\n' + Messages::text("fileTagsDiff");
        return text;
    }
};

// One side's row list, visited change by change: rows that are a file's
// line as it is come from the rendered lines; fillers and changes of
// several lines are written here.
void writeRowList(Out& out, const KDiffParser& p, int side, const RenderedLines& rendered) {
    const auto& lines = side == 0 ? p.lines1() : p.lines2();
    bool firstItem = true;
    const auto separate = [&] {
        if (!std::exchange(firstItem, false)) out << ',';
    };
    // Rows that are a file's line as it is follow one another across
    // unchanged stretches and one-line changes: they go out as one piece.
    std::size_t runFrom = 0, runTo = 0;   // file lines, from 0
    const auto writeRun = [&] {
        if (runFrom == runTo) return;
        separate();
        out.kept(rendered.lines(runFrom, runTo));
        runFrom = runTo;
    };
    std::uint64_t line = 0;     // display lines so far
    std::size_t fileLine = 0;   // the file's lines come in order, fillers between them
    for (const ChangeRecord& r : p.iZmiany()) {
        fileLine += r.l - line;
        if (r.nol == 1 && !lines[r.l].filler) {
            ++fileLine;
        } else {
            runTo = fileLine;
            writeRun();
            separate();
            out.json(p.rowText(side, r.lr));
            for (std::uint64_t k = r.l; k < r.l + r.nol; ++k) fileLine += lines[k].filler ? 0 : 1;
            runFrom = fileLine;
        }
        line = r.l + r.nol;
    }
    runTo = fileLine + (lines.size() - line);
    writeRun();
}

// `rendered` holds the lines of both files as JSON strings, for --json.
int printText(const KDiffParser& p, const Options& o, bool equal, bool lineEndsDiffer, const Metadata& meta,
              const RenderedLines* rendered) {
    Out out;
    const auto& z = p.iZmiany();
    if (o.json) {
        out << "{\"mode\":\"text\",\"equal\":" << std::string_view(equal ? "true" : "false")
            << ",\"lineEndings\":" << std::string_view(lineEndsDiffer ? "\"differ\"" : "\"same\"")
            << std::string_view(meta.json()) << ",\"changes\":[";
        for (std::size_t i = 0; i < z.size(); ++i) {
            if (i) out << ',';
            out << '\n';
            writeRecord(out, z[i]);
            out << ",\"marks1\":";
            writeChangeMarks(out, p, 0, z[i]);
            out << ",\"marks2\":";
            writeChangeMarks(out, p, 1, z[i]);
            out << "}";
        }
        for (int side = 0; side < 2; ++side) {
            out << (side == 0 ? "],\n\"rows1\":[" : "],\n\"rows2\":[");
            writeRowList(out, p, side, rendered[side]);
        }
        out << "]}\n";
        return equal ? 0 : 1;
    }
    if (equal) {
        // Equal files need no side-by-side listing: one line says it, as diff says nothing.
        out << meta.equalText(lineEndsDiffer) << "\n";
        return 0;
    }
    const bool colour = o.colour;
    const int half = std::max(10, (terminalWidth() - 3) / 2);
    std::size_t next = 0;
    for (std::size_t i = 0; i < p.lines1().size(); ++i) {
        while (next < z.size() && z[next].l + z[next].nol <= i) ++next;
        const bool inChange = next < z.size() && z[next].l <= i;
        const DisplayLine& l = p.lines1()[i];
        const DisplayLine& r = p.lines2()[i];
        const char* sep = !inChange ? "   " : l.filler ? " > " : r.filler ? " < " : " | ";
        out << std::string_view(cell(l.text, l.marks, half, colour)) << std::string_view(sep)
            << std::string_view(cell(r.text, r.marks, half, colour)) << "\n";
    }
    out << Messages::plural("cliDifferences", qsizetype(z.size())) << " · " << Messages::text("FilesDiff") << "\n";
    return 1;
}

class HexPrinter : public HexLineSink {
public:
    HexPrinter(Out& out, const Options& o) : m_out(out), m_json(o.json) {
        m_colour = o.colour;
    }
    bool wantsEqualLines() const override { return !m_json; }
    void hexLine(std::uint64_t, const HexLine& l, const HexLine& r, const ChangeRecord* rec) override {
        if (m_json) {
            if (!rec) return;
            if (m_count++) m_out << ',';
            m_out << '\n';
            writeRecord(m_out, *rec);
            m_out << ",\"left\":";
            m_out.json(l.text);
            m_out << ",\"right\":";
            m_out.json(r.text);
            m_out << ",\"marks1\":";
            writeMarks(m_out, l.marks);
            m_out << ",\"marks2\":";
            writeMarks(m_out, r.marks);
            m_out << "}";
            return;
        }
        const char* sep = !rec ? "   " : rec->s == 4 ? " < " : rec->s == 8 ? " > " : " | ";
        m_out << std::string_view(cell(QString::fromLatin1(l.text), l.marks, 73, m_colour)) << std::string_view(sep)
              << std::string_view(cell(QString::fromLatin1(r.text), r.marks, 73, m_colour)) << "\n";
    }

private:
    Out& m_out;
    bool m_json, m_colour = false;
    std::uint64_t m_count = 0;
};

int runHex(const Options& o, const QString& left, const QString& right) {
    Out out;
    HexPrinter printer(out, o);
    if (o.json) out << "{\"mode\":\"hex\",\"changes\":[";
    else {
        std::string header(KHexDiff::kHeaderString);
        header.pop_back();
        out << std::string_view(header) << std::string_view(std::string(76 - header.size(), ' '))
            << std::string_view(header) << "\n";
    }
    KHexDiff hex;
    bool equal = false;
    QString error;
    if (hex.ParseHexDiffFile1(left, right, equal, printer, error) != KHexDiff::Outcome::Done) {
        out.flush();
        return fail(error);
    }
    const Metadata meta = Metadata::of(equal, left, right);
    if (o.json) {
        out << "],\"lines\":" << hex.iNumOfLines() << ",\"equal\":" << std::string_view(equal ? "true" : "false")
            << std::string_view(meta.json()) << "}\n";
    } else if (equal) {
        out << meta.equalText() << "\n";
    } else {
        out << Messages::plural("cliDifferences", qsizetype(hex.changeCount())) << " · " << Messages::text("FilesDiff")
            << "\n";
    }
    return equal ? 0 : 1;
}

// The file a merge writes: a link's target (the link stays as it is), never
// a link that leads nowhere; a read-only file only when the user agrees.
// Returns 0 and sets `target`, or the exit status after saying why not.
int mergeTarget(const Options& o, QString& target) {
    const QFileInfo out(o.outPath);
    target = out.absoluteFilePath();
    if (out.isSymLink()) {
        target = out.canonicalFilePath();
        if (target.isEmpty()) return fail(Messages::format("cliOutDangling", o.outPath));
    }
    const QFileInfo file(target);
    const bool readOnly =
        file.exists() && !(file.permissions() & (QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));
    if (!readOnly || !o.force) return 0;
    // Even root, whom the permissions do not stop, asks first; without a
    // window the answer is the first button: keep the file.
    HeadlessPrompt prompt;
    Question question;
    question.message = Messages::text("cliOutReadOnly0");
    question.details = Messages::format("cliOutReadOnly1", o.outPath);
    question.buttons = {Messages::text("cancel"), Messages::text("BtnReplace")};
    if (prompt.ask(question).button == 1) return 0;
    return fail(Messages::format("cliOutReadOnlyKept", o.outPath));
}

int runMerge(const Options& o, const KDiffParser& p, const QString& left, const QString& right,
             const QString& originalLeft) {
    std::vector<std::optional<DiffChunk>> chunks;
    for (const ChangeRecord& r : p.iZmiany()) chunks.push_back(r.diffChunk);
    std::vector<bool> named(chunks.size(), false);
    for (const QString& item : o.plan.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList kv = item.trimmed().split(QLatin1Char('='));
        const QString side = kv.value(1).trimmed().toLower();
        if (kv.size() != 2 || (side != u"left" && side != u"right")) return fail(Messages::format("cliBadPlan", item));
        const bool takeLeft = side == u"left";
        if (kv[0].trimmed() == u"all") {
            for (auto& c : chunks)
                if (c) c->isLeftChunk = takeLeft;
            named.assign(chunks.size(), true);
            continue;
        }
        bool ok = false;
        const qsizetype n = kv[0].trimmed().toLongLong(&ok);
        if (!ok) return fail(Messages::format("cliBadPlan", item));
        if (n < 1 || n > qsizetype(chunks.size())) return fail(Messages::format("cliPlanNoChange", n));
        if (chunks[std::size_t(n - 1)]) chunks[std::size_t(n - 1)]->isLeftChunk = takeLeft;
        named[std::size_t(n - 1)] = true;
    }
    // A change the plan does not name is never decided silently.
    for (std::size_t i = 0; i < chunks.size(); ++i)
        if (chunks[i] && !named[i]) return fail(Messages::format("cliPlanUnnamed", qsizetype(i + 1)));
    KFileMerger merger;
    if (!merger.ReadFiles(left, right)) return fail(Messages::text("cliMergeNeedsText"));
    const auto merged = merger.MergeWithSelections(chunks);
    if (!merged) return fail(Messages::text("cliMergeNeedsText"));
    // Written with the line endings and byte-order mark of the file it was merged from.
    const QByteArray bytes = TextConventions::of(originalLeft).render(*merged);
    QString target;
    if (const int status = mergeTarget(o, target)) return status;
    platform::DurableFile file;
    const std::string dest = QFile::encodeName(target).toStdString();
    int err = file.open(dest, o.force);
    if (err == EEXIST) return fail(Messages::format("cliOutExists", o.outPath));
    if (err == 0) err = file.write(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (err == 0) err = file.commit();
    if (err != 0) return fail(Messages::format("cliWriteFailed", o.outPath, QString::fromLocal8Bit(std::strerror(err))));
    // A text that ends with a line break has no line after it.
    const qsizetype lines = merged->size() - (!merged->isEmpty() && merged->last().isEmpty() ? 1 : 0);
    std::printf("%s\n", Messages::format("cliMergeWritten", lines, o.outPath).toUtf8().constData());
    return 0;
}


// The pair joins the file comparisons' history, as a comparison started
// from a window does (not when paths are not to be saved), once.
class PairHistory {
public:
    PairHistory(QString left, QString right) : m_left(std::move(left)), m_right(std::move(right)) {}
    void store() {
        if (std::exchange(m_stored, true) || !Settings::instance().boolValue(QStringLiteral("savePaths"))) return;
        FolderHistory(Settings::instance(), false).StoreFolderHistory(m_left, m_right);
        KLastFolders files(Settings::instance(), QStringLiteral("lastFiles"));
        files.AddFolder(m_left);
        files.AddFolder(m_right);
        files.store();
    }

private:
    QString m_left, m_right;
    bool m_stored = false;
};

// What diff says of two files that are not text.
int binaryFilesDiffer(const QString& left, const QString& right) {
    const auto quick = FileCompareRun::quickCheck(left, right);
    if (!quick.started) return fail(Messages::text("fcQuickError"));
    if (quick.equal) std::printf("%s\n", qPrintable(Messages::text("FilesEqual")));
    else std::printf("%s\n", qPrintable(Messages::format("cliBinaryDiffer", left, right)));
    return quick.equal ? 0 : 1;
}

int unifiedDiff(const Options& o, const QString& left, const QString& right) {
    // An empty file is an empty text here, as it is to diff and patch.
    const auto binary = [](const QString& path) { return QFileInfo(path).size() > 0 && !FileCompareRun::IsThisTextFile(path); };
    if (o.type != FileCompareType::Text && (binary(left) || binary(right))) return binaryFilesDiffer(left, right);
    const auto result = FileCompareRun::unifiedDiff(left, right, o.left, o.right, *o.unified);
    if (!result.started) return fail(Messages::text("fcQuickError"));
    std::fwrite(result.output.constData(), 1, std::size_t(result.output.size()), stdout);
    return result.equal ? 0 : 1;
}

}  // namespace

int runDiff(QCoreApplication&, const DiffOptions& d) {
    Options o;
    // Without --quick, --hex or --text the stored choice ("fileType") decides.
    if (d.quick) o.type = FileCompareType::Quick;
    else if (d.hex) o.type = FileCompareType::Binary;
    else if (d.text) o.type = FileCompareType::Text;
    o.json = d.json;
    o.force = d.force;
    o.colour = useColour(d.colour, STDOUT_FILENO);
    o.merge = d.merge;
    o.plan = QString::fromStdString(d.plan);
    o.outPath = QFile::decodeName(QByteArray::fromStdString(d.out));
    o.unified = d.unified;
    QStringList paths;
    for (const std::string& p : d.paths) paths << QFile::decodeName(QByteArray::fromStdString(p));
    if (paths.size() != 2) return fail(Messages::text("cliDiffArgs"));
    o.left = paths[0];
    o.right = paths[1];
    if (o.merge && o.outPath.isEmpty()) return fail(Messages::format("cliMissingValue", "--out"));
    for (const QString& p : paths) {
        const QFileInfo info(p);
        if (!info.exists()) return fail(Messages::format("fcCannotOpen", p));
        if (!info.isFile()) return fail(Messages::format("cliNotAFile", p));
    }
    const QString left = QFileInfo(paths[0]).absoluteFilePath(), right = QFileInfo(paths[1]).absoluteFilePath();
    // The history is written durably, which waits for the disk: a text
    // comparison writes it while the line tool runs, the others first.
    PairHistory history(left, right);
    if (o.merge) {
        const QFileInfo outInfo(o.outPath);
        const QString out = outInfo.exists() ? outInfo.canonicalFilePath() : outInfo.absoluteFilePath();
        if ((out == QFileInfo(left).canonicalFilePath() || out == QFileInfo(right).canonicalFilePath()) && !o.force)
            return fail(Messages::format("cliOutExists", o.outPath));
        o.type = FileCompareType::Text;
    }

    FileCompareRun run;
    const FileCompareType chosen = o.type.value_or(typeFromSetting());
    const FileCompareType type = FileCompareRun::resolveType(left, right, chosen);
    if (o.unified || type != FileCompareType::Text) history.store();
    if (o.unified) return unifiedDiff(o, left, right);
    // Binary files are told apart in one line unless their bytes are asked for.
    const bool hexAsked = chosen == FileCompareType::Binary || o.json;
    if (type == FileCompareType::Binary && !hexAsked) return binaryFilesDiffer(left, right);
    if (type == FileCompareType::Quick) {
        const auto quick = FileCompareRun::quickCheck(left, right);
        const Metadata meta = Metadata::of(quick.equal, left, right);
        const QString message = !quick.started ? Messages::text("fcQuickError")
                                : !quick.message.isEmpty() ? quick.message
                                : quick.equal ? meta.equalText() : Messages::text("FilesDiff");
        if (o.json) {
            Out out;
            out << "{\"mode\":\"quick\",\"equal\":" << std::string_view(quick.equal ? "true" : "false")
                << std::string_view(meta.json()) << ",\"message\":";
            out.json(message);
            out << "}\n";
        } else {
            std::printf("%s\n", message.toUtf8().constData());
        }
        return !quick.started ? 2 : quick.equal ? 0 : 1;
    }
    if (type == FileCompareType::Text) {
        const auto l = run.CheckTheFile(left);
        const auto r = l ? run.CheckTheFile(right) : std::nullopt;
        if (!l || !r) return fail(Messages::format("fcTempFailed", l ? right : left));
        // Kept to the process's end, never destroyed: the command ends once
        // its answer is written, and the kernel takes back a large
        // comparison's memory at the exit faster than its million lines
        // are destroyed one by one.
        static KDiffParser& parser = *new KDiffParser;
        static RenderedLines* const rendered = new RenderedLines[2];
        bool equal = false;
        QString error;
        bool lineEndsDiffer = false;
        KDiffParser::WhileToolRuns whileToolRuns;
        whileToolRuns.filesRead = [&] {
            history.store();
            lineEndsDiffer = TextConventions::of(left).lineEnd != TextConventions::of(right).lineEnd;
        };
        if (o.json && !o.merge) {
            rendered[0].start(QFileInfo(*l).size());
            rendered[1].start(QFileInfo(*r).size());
            whileToolRuns.linesRead = [&](int side, std::span<const DisplayLine> lines) { rendered[side].append(lines); };
        }
        const auto outcome = parser.ParseDiffFile1(*l, *r, equal, error, whileToolRuns);
        history.store();
        switch (outcome) {
            case KDiffParser::Outcome::Done:
                if (o.merge) return runMerge(o, parser, *l, *r, left);
                return printText(parser, o, equal, lineEndsDiffer, Metadata::of(equal, left, right), rendered);
            case KDiffParser::Outcome::NotText:
                if (o.merge) return fail(Messages::text("cliMergeNeedsText"));
                if (!hexAsked) return binaryFilesDiffer(left, right);
                break;   // shown as hex
            case KDiffParser::Outcome::Failed: return fail(error);
            case KDiffParser::Outcome::Cancelled: return fail(Messages::text("TaskAborted"));
        }
    }
    return runHex(o, left, right);
}

}  // namespace qv

namespace qv {

void addDiffCommand(CommandLine& cli, QCoreApplication& app) {
    auto o = std::make_shared<DiffOptions>();
    CLI::App* command = cli.addCommand(cli.root(), "diff", "cliCmdDiff", "cliExampleDiff", [&app, o] { return runDiff(app, *o); });
    described(command->add_option("FILES", o->paths), "cliArgFiles")->type_name("");
    CLI::Option* text = described(command->add_flag("--text", o->text), "cliOptText");
    CLI::Option* hex = described(command->add_flag("--hex", o->hex), "cliOptHex");
    CLI::Option* quick = described(command->add_flag("--quick", o->quick), "cliOptQuick");
    text->excludes(hex)->excludes(quick);
    hex->excludes(quick);
    // -u, -U N and --unified[=N], as diff takes them: a bare --unified never takes the next argument.
    CLI::Option* unified = described(command->add_option_function<int>("-U,--unified", [o](int n) { o->unified = n; }),
                                     "cliOptUnified")
                               ->type_name("N")
                               ->check(CLI::NonNegativeNumber);
    cli.valueOnlyAttached("--unified", "3");
    CLI::Option* u = described(command->add_flag_callback("-u", [o] { if (!o->unified) o->unified = 3; }), "cliOptU");
    u->excludes(hex)->excludes(quick);
    unified->excludes(hex)->excludes(quick);
    described(command->add_flag("--json", o->json), "cliOptJsonDiff");
    described(command->add_option("--color,--colour", o->colour), "cliOptColor")
        ->type_name("WHEN")->check(CLI::IsMember({"auto", "always", "never"}));
    CLI::Option* merge = described(command->add_option("--merge", o->plan), "cliOptMerge")->type_name("PLAN");
    described(command->add_option("--out", o->out), "cliOptMergeOut")->type_name("FILE");
    described(command->add_flag("--force", o->force), "cliOptForceOut");
    merge->excludes(unified);
    command->parse_complete_callback([o, merge] { o->merge = merge->count() > 0; });
}

}  // namespace qv
