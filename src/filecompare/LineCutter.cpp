#include "filecompare/LineCutter.h"

#include "filecompare/TextHash.h"
#include "platform/HugePages.h"

namespace qv {

LineCutter::LineCutter(std::size_t expectedLines, LinesCut linesCut) : m_linesCut(std::move(linesCut)) {
    // Room for fillers a comparison may put between the lines: only
    // reserved, it costs no memory unless used.
    m_lines.reserve(expectedLines + expectedLines / 8);
    platform::adviseHugePages(m_lines.data(), m_lines.capacity() * sizeof(DisplayLine));
    m_hashes.reserve(expectedLines);
    platform::adviseHugePages(m_hashes.data(), m_hashes.capacity() * sizeof(std::size_t));
}

void LineCutter::take(QStringView decoded) {
    if (m_base && decoded.data() != m_base) {
        // The text grew into a new place: the lines cut so far follow it.
        for (DisplayLine& line : m_lines)
            line.text = QStringView(decoded.data() + (line.text.data() - m_base), line.text.size());
    }
    m_base = decoded.data();
    // Only what is new is searched: a line longer than many pieces is not
    // searched again for each of them.
    const qsizetype from = std::max(m_next, m_searched);
    const qsizetype lastBreak = decoded.sliced(from).lastIndexOf(u'\n');
    m_searched = decoded.size();
    if (lastBreak >= 0) cutUpTo(decoded, from + lastBreak + 1);
}

void LineCutter::finish(QStringView text) {
    take(text);
    if (m_next < text.size()) cutUpTo(text, text.size());
}

void LineCutter::cutUpTo(QStringView decoded, qsizetype end) {
    const std::size_t first = m_lines.size();
    while (m_next < end) {
        const qsizetype nl = decoded.indexOf(u'\n', m_next);
        const qsizetype lineEnd = nl < 0 || nl >= end ? end : nl;
        DisplayLine& line = m_lines.emplace_back();
        line.text = decoded.sliced(m_next, lineEnd - m_next);
        // Only the text's last line can end without a break.
        line.hasBreak = lineEnd < end;
        m_hashes.push_back(textHash(line.text));
        m_next = lineEnd + 1;
    }
    m_next = std::min(m_next, end);
    if (m_linesCut && m_lines.size() > first)
        m_linesCut(std::span<const DisplayLine>(m_lines.data() + first, m_lines.size() - first));
}

}  // namespace qv
