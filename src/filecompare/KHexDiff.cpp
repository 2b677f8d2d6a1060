#include "filecompare/KHexDiff.h"

#include "base/Messages.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qv {

const char* const KHexDiff::kHeaderString =
    "   offset      0 1  2 3  4 5  6 7  8 9  A B  C D  E F  0123456789ABCDEF\n";

namespace {

constexpr char kHex[] = "0123456789abcdef";
constexpr std::size_t kOffsetWidth = 14;   // "0x" + 10 digits + 2 spaces

void appendOffset(std::string& out, std::uint64_t offset) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%010llx  ", static_cast<unsigned long long>(offset));
    out += buf;
}

// Hex text of position i (0–15): two digits, a space after the second byte of a pair.
void appendHexAt(std::string& out, const unsigned char* buf, std::size_t len, std::size_t i) {
    if (i < len) {
        out += kHex[buf[i] >> 4];
        out += kHex[buf[i] & 15];
    } else {
        out += "  ";
    }
    if (i % 2 == 1) out += ' ';
}

// Reads a file a page at a time and hands it out in blocks of 16 bytes;
// a block shorter than 16 comes only at the end of the file.
class PagedReader {
public:
    explicit PagedReader(int fd) : m_fd(fd), m_page(KHexDiff::kPageBytes) {}
    int error() const { return m_error; }
    std::size_t available() {
        if (m_pos == m_len && !m_eof) fill();
        return m_len - m_pos;
    }
    const unsigned char* data() const { return m_page.data() + m_pos; }
    std::size_t block(const unsigned char*& p) {
        const std::size_t n = std::min<std::size_t>(16, available());
        p = data();
        m_pos += n;
        return n;
    }
    void skip(std::size_t n) { m_pos += n; }

private:
    void fill() {
        m_pos = m_len = 0;
        while (m_len < m_page.size()) {
            const ssize_t r = ::read(m_fd, m_page.data() + m_len, m_page.size() - m_len);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) m_error = errno;
            if (r <= 0) {
                m_eof = true;
                break;
            }
            m_len += std::size_t(r);
        }
    }
    int m_fd;
    std::vector<unsigned char> m_page;
    std::size_t m_pos = 0, m_len = 0;
    bool m_eof = false;
    int m_error = 0;
};

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

HexLine KHexDiff::LineForSameBuf(const unsigned char* buf, std::size_t len, std::uint64_t offset, std::uint8_t kind) {
    HexLine line;
    line.text.reserve(80);
    appendOffset(line.text, offset);
    for (std::size_t i = 0; i < 16; ++i) appendHexAt(line.text, buf, len, i);
    line.text += ' ';
    for (std::size_t i = 0; i < len; ++i) line.text += ConvertASCII(buf[i]);
    if (kind != MarkSame) line.marks.push_back({qsizetype(kOffsetWidth), qsizetype(line.text.size() - kOffsetWidth), kind});
    return line;
}

void KHexDiff::ParseLineForDiffBuf(const unsigned char* buf1, std::size_t len1, const unsigned char* buf2,
                                   std::size_t len2, std::uint64_t offset, HexLine& left, HexLine& right) {
    left = {};
    right = {};
    if (!buf1 && !buf2) return;
    if (!buf2) {
        left = LineForSameBuf(buf1, len1, offset, MarkAdded);
        return;
    }
    if (!buf1) {
        right = LineForSameBuf(buf2, len2, offset, MarkAdded);
        return;
    }
    const auto same = [&](std::size_t i) {
        if (i >= len1 || i >= len2) return i >= len1 && i >= len2;
        return buf1[i] == buf2[i];
    };
    HexLine* sides[2] = {&left, &right};
    const unsigned char* bufs[2] = {buf1, buf2};
    const std::size_t lens[2] = {len1, len2};
    std::string chars[2];
    std::vector<MarkRun> charMarks[2];
    for (int s = 0; s < 2; ++s) appendOffset(sides[s]->text, offset);
    std::size_t i = 0;
    while (i < 16) {
        const bool equalRun = same(i);
        std::size_t j = i;
        while (j < 16 && same(j) == equalRun) ++j;
        for (int s = 0; s < 2; ++s) {
            std::string& text = sides[s]->text;
            const std::size_t hexStart = text.size(), charStart = chars[s].size();
            for (std::size_t k = i; k < j; ++k) {
                appendHexAt(text, bufs[s], lens[s], k);
                chars[s] += k < lens[s] ? ConvertASCII(bufs[s][k]) : ' ';
            }
            if (!equalRun) {
                // The group's trailing space stays unmarked.
                const std::size_t hexLen = text.size() - hexStart - ((j - 1) % 2 == 1 ? 1 : 0);
                sides[s]->marks.push_back({qsizetype(hexStart), qsizetype(hexLen), MarkChanged});
                charMarks[s].push_back({qsizetype(charStart), qsizetype(j - i), MarkChanged});
            }
        }
        i = j;
    }
    for (int s = 0; s < 2; ++s) {
        sides[s]->text += ' ';
        const qsizetype charsAt = qsizetype(sides[s]->text.size());
        sides[s]->text += chars[s];
        for (MarkRun m : charMarks[s]) sides[s]->marks.push_back({m.start + charsAt, m.length, m.kind});
    }
}

KHexDiff::Outcome KHexDiff::ParseHexDiffFile1(const QString& file1, const QString& file2, bool& equal,
                                              HexLineSink& sink, QString& error) {
    m_numOfLines = m_changes = 0;
    Fd f1, f2;
    f1.fd = ::open(QFile::encodeName(file1).constData(), O_RDONLY | O_CLOEXEC);
    if (f1.fd < 0) {
        error = Messages::format("fcCannotOpen", file1);
        return Outcome::Failed;
    }
    f2.fd = ::open(QFile::encodeName(file2).constData(), O_RDONLY | O_CLOEXEC);
    if (f2.fd < 0) {
        error = Messages::format("fcCannotOpen", file2);
        return Outcome::Failed;
    }
    ::posix_fadvise(f1.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    ::posix_fadvise(f2.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    PagedReader r1(f1.fd), r2(f2.fd);
    equal = true;
    std::uint64_t offset = 0;
    HexLine left, right;
    const bool wantsEqual = sink.wantsEqualLines();
    const auto record = [&](int s, int col) {
        ChangeRecord rec;
        rec.l = rec.lr = m_numOfLines;
        rec.nol = 1;
        rec.s = s;
        rec.col = col;
        rec.nz = int(++m_changes);
        return rec;
    };

    // Both files still have bytes.
    while (true) {
        if (cancelled()) return Outcome::Cancelled;
        if (!wantsEqual) {
            // Equal stretches are skipped a slice at a time without formatting.
            const std::size_t span = std::min(r1.available(), r2.available()) / 16 * 16;
            std::size_t done = 0;
            while (done < span) {
                const std::size_t slice = std::min<std::size_t>(4096, span - done);
                if (std::memcmp(r1.data() + done, r2.data() + done, slice) != 0) break;
                done += slice;
            }
            r1.skip(done);
            r2.skip(done);
            offset += done;
            m_numOfLines += done / 16;
            if (done == span && done > 0) continue;
        }
        const unsigned char *b1 = nullptr, *b2 = nullptr;
        const std::size_t n1 = r1.block(b1), n2 = r2.block(b2);
        if (n1 == 0 && n2 == 0) break;
        const bool blocksEqual = n1 == n2 && std::memcmp(b1, b2, n1) == 0;
        if (blocksEqual) {
            if (wantsEqual) {
                left = LineForSameBuf(b1, n1, offset);
                right = LineForSameBuf(b2, n2, offset);
                sink.hexLine(m_numOfLines, left, right, nullptr);
            }
        } else {
            equal = false;
            ParseLineForDiffBuf(b1, n1, b2, n2, offset, left, right);
            const ChangeRecord rec = record(12, 1);
            sink.hexLine(m_numOfLines, left, right, &rec);
        }
        offset += 16;
        ++m_numOfLines;
        if (n1 < 16 || n2 < 16) break;
    }
    // One file has ended; the other's remaining blocks are shown on its side only.
    for (int side = 0; side < 2; ++side) {
        PagedReader& r = side == 0 ? r1 : r2;
        while (true) {
            if (cancelled()) return Outcome::Cancelled;
            const unsigned char* b = nullptr;
            const std::size_t n = r.block(b);
            if (n == 0) break;
            equal = false;
            if (side == 0) ParseLineForDiffBuf(b, n, nullptr, 0, offset, left, right);
            else ParseLineForDiffBuf(nullptr, 0, b, n, offset, left, right);
            const ChangeRecord rec = record(side == 0 ? 4 : 8, 2);
            sink.hexLine(m_numOfLines, left, right, &rec);
            offset += 16;
            ++m_numOfLines;
            if (n < 16) break;
        }
    }
    if (r1.error() || r2.error()) {
        error = Messages::format("fcCannotOpen", r1.error() ? file1 : file2);
        return Outcome::Failed;
    }
    return Outcome::Done;
}

}  // namespace qv
