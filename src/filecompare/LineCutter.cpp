#include "filecompare/LineCutter.h"

#include "filecompare/TextHash.h"
#include "platform/HugePages.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace qv {
namespace {

// Calls `f` with the place of every line break in [from, to), in order. A
// file's lines are short: one pass over the text, eight characters at a
// time, instead of a search started again for each line.
template <class F>
void forEachBreak(const char16_t* s, qsizetype from, qsizetype to, F&& f) {
    qsizetype i = from;
#ifdef __SSE2__
    const __m128i breakChar = _mm_set1_epi16(u'\n');
    for (; i + 8 <= to; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        // Two bits a character.
        for (unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(v, breakChar))); mask != 0;) {
            const unsigned bit = unsigned(__builtin_ctz(mask));
            f(i + qsizetype(bit / 2));
            mask &= ~(3u << bit);
        }
    }
#endif
    for (; i < to; ++i)
        if (s[i] == u'\n') f(i);
}

}  // namespace

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
    const auto addLine = [&](qsizetype lineEnd, bool hasBreak) {
        DisplayLine& line = m_lines.emplace_back();
        line.text = decoded.sliced(m_next, lineEnd - m_next);
        line.hasBreak = hasBreak;
        m_hashes.push_back(textHash(line.text));
        m_next = lineEnd + 1;
    };
    forEachBreak(reinterpret_cast<const char16_t*>(decoded.data()), m_next, end,
                 [&](qsizetype lineBreak) { addLine(lineBreak, true); });
    // Only the text's last line can end without a break.
    if (m_next < end) addLine(end, false);
    m_next = std::min(m_next, end);
    if (m_linesCut && m_lines.size() > first)
        m_linesCut(std::span<const DisplayLine>(m_lines.data() + first, m_lines.size() - first));
}

}  // namespace qv
