#include "filecompare/HexPages.h"

#include "base/Messages.h"
#include "platform/FileStamp.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace qv {
namespace {

// Reads `size` bytes at `offset`, or as many as the file still has.
bool readAt(const QString& path, std::uint64_t offset, std::size_t size, std::vector<unsigned char>& out) {
    out.assign(size, 0);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::size_t done = 0;
    bool ok = true;
    while (done < size) {
        const ssize_t r = ::pread(fd, out.data() + done, size - done, off_t(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) ok = false;
        if (r <= 0) break;
        done += std::size_t(r);
    }
    ::close(fd);
    out.resize(done);
    return ok;
}

}  // namespace

KHexDiff::Outcome HexPages::compare(const QString& left, const QString& right, bool& equal, QString& error,
                                    const std::atomic<bool>* cancel) {
    m_paths[0] = left;
    m_paths[1] = right;
    m_sizes[0] = platform::FileStamp::of(QFile::encodeName(left).toStdString()).size;
    m_sizes[1] = platform::FileStamp::of(QFile::encodeName(right).toStdString()).size;
    m_runs.clear();
    m_runStarts.clear();
    m_changes = 0;
    KHexDiff diff;
    diff.setCancelFlag(cancel);
    const KHexDiff::Outcome outcome = diff.ParseHexDiffFile1(left, right, equal, *this, error);
    m_lines = diff.iNumOfLines();
    m_changes = diff.changeCount();
    return outcome;
}

void HexPages::hexLine(std::uint64_t lineNumber, const HexLine&, const HexLine&, const ChangeRecord* record) {
    if (!record) return;
    if (!m_runs.empty() && m_runs.back().first + m_runs.back().second == lineNumber) {
        ++m_runs.back().second;
        return;
    }
    m_runStarts.push_back(m_runs.empty() ? 0 : m_runStarts.back() + m_runs.back().second);
    m_runs.emplace_back(lineNumber, 1);
}

std::uint64_t HexPages::lineOfChange(std::uint64_t index) const {
    const auto it = std::upper_bound(m_runStarts.begin(), m_runStarts.end(), index);
    if (it == m_runStarts.begin()) return 0;
    const std::size_t run = std::size_t(it - m_runStarts.begin()) - 1;
    return m_runs[run].first + (index - m_runStarts[run]);
}

std::optional<std::uint64_t> HexPages::changeOnLine(std::uint64_t line) const {
    const auto it = std::upper_bound(m_runs.begin(), m_runs.end(), line,
                                     [](std::uint64_t l, const auto& run) { return l < run.first; });
    if (it == m_runs.begin()) return std::nullopt;
    const std::size_t run = std::size_t(it - m_runs.begin()) - 1;
    if (line >= m_runs[run].first + m_runs[run].second) return std::nullopt;
    return m_runStarts[run] + (line - m_runs[run].first);
}

int HexPages::sidesOfLine(std::uint64_t line) const {
    if (line <= lastCommonLine()) return 12;
    return m_sizes[0] > m_sizes[1] ? 4 : 8;
}

bool HexPages::readPage(std::uint64_t firstLine, std::uint64_t count, Page& page, QString& error) const {
    page.firstLine = firstLine;
    for (int side = 0; side < 2; ++side) {
        const std::uint64_t offset = firstLine * 16;
        const std::uint64_t size = std::uint64_t(m_sizes[side]);
        const std::size_t wanted = offset >= size ? 0 : std::size_t(std::min<std::uint64_t>(count * 16, size - offset));
        if (!readAt(m_paths[side], offset, wanted, page.bytes[side]) || page.bytes[side].size() != wanted) {
            error = Messages::format("fcChangedOnDisk", m_paths[side]);
            return false;
        }
    }
    return true;
}

void HexPages::lineOf(const Page& page, std::uint64_t line, HexLine& left, HexLine& right) const {
    const std::uint64_t at = (line - page.firstLine) * 16;
    // A side without bytes on this line still passes a block (of length 0):
    // on the last common line that is how an ended file is told apart.
    static const unsigned char kNoBytes[16] = {};
    const auto block = [&](int side, std::size_t& len) -> const unsigned char* {
        const auto& bytes = page.bytes[side];
        len = at >= bytes.size() ? 0 : std::min<std::size_t>(16, bytes.size() - at);
        return len == 0 ? kNoBytes : bytes.data() + at;
    };
    std::size_t n1 = 0, n2 = 0;
    const unsigned char* b1 = block(0, n1);
    const unsigned char* b2 = block(1, n2);
    const std::uint64_t offset = line * 16;
    if (line > lastCommonLine()) {
        // Only the longer file reaches this far.
        if (n1 > 0) KHexDiff::ParseLineForDiffBuf(b1, n1, nullptr, 0, offset, left, right);
        else KHexDiff::ParseLineForDiffBuf(nullptr, 0, b2, n2, offset, left, right);
        return;
    }
    if (n1 == n2 && std::memcmp(b1, b2, n1) == 0) {   // an equal last partial block too
        left = KHexDiff::LineForSameBuf(b1, n1, offset);
        right = KHexDiff::LineForSameBuf(b2, n2, offset);
        return;
    }
    KHexDiff::ParseLineForDiffBuf(b1, n1, b2, n2, offset, left, right);
}

}  // namespace qv
