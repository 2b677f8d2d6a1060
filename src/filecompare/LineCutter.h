#pragma once
// Cuts a text into lines while it is still being decoded, a piece at a
// time: each line is cut, hashed and handed on while its characters are
// still in the processor's cache. Passing over a whole file's text again for
// each of these would stream it from memory each time, beside the line tool
// that needs the same memory.

#include "filecompare/KDiffParser.h"

#include <QStringView>

#include <cstddef>
#include <functional>
#include <span>
#include <vector>

namespace qv {

class LineCutter {
public:
    // Called with each run of lines as they are cut, in order.
    using LinesCut = std::function<void(std::span<const DisplayLine> lines)>;

    // `expectedLines` is only room: more lines are cut as well.
    explicit LineCutter(std::size_t expectedLines, LinesCut linesCut = {});

    // The text as decoded so far, from its start, which may have moved since
    // the last call: every line that ends in it is cut.
    void take(QStringView decoded);
    // The whole text: a last line without a break is cut too. An empty text has no lines.
    void finish(QStringView text);

    std::vector<DisplayLine>& lines() { return m_lines; }
    std::vector<std::size_t>& hashes() { return m_hashes; }

private:
    // Cuts the lines up to `end`, which is just past a break or the text's end.
    void cutUpTo(QStringView decoded, qsizetype end);

    LinesCut m_linesCut;
    std::vector<DisplayLine> m_lines;
    std::vector<std::size_t> m_hashes;
    const QChar* m_base = nullptr;   // where the text began at the last call
    qsizetype m_next = 0;            // where the next line begins
    qsizetype m_searched = 0;        // how far the text was searched for a break
};

}  // namespace qv
