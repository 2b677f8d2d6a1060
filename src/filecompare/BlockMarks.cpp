#include "filecompare/BlockMarks.h"

#include "filecompare/ChangesAhead.h"

#include <algorithm>

namespace qv {
namespace {

// A block this large on both sides, and this unequal, would take a word
// table beyond any use: every line is marked whole.
bool markedWholeOnly(std::size_t leftCount, std::size_t rightCount) {
    const std::size_t dl = leftCount - 1, dr = rightCount - 1;
    return dl >= 10000 && dr >= 10000 && (dl > dr ? dl - dr : dr - dl) >= 1001;
}

qsizetype blockChars(BlockSide side) {
    qsizetype n = 0;
    for (std::size_t k = 0; k < side.count; ++k) n += side.lines[k].text.size() + 1;
    return n;
}

// A block's components as if its lines were split as one text, every line
// with its break: line by line, a break between them, words split ahead
// taken as they are. `size` is set to that text's length.
std::vector<TextComponent> blockComponents(BlockSide block, const ChangesAhead* ahead, int side, qsizetype& size) {
    static const QString kBreak = QStringLiteral("\n");
    std::vector<TextComponent> comps;
    bool anyWord = false;
    qsizetype offset = 0;
    for (std::size_t k = 0; k < block.count; ++k) {
        const DisplayLine& line = block.lines[k];
        if (const ChangesAhead::Words* words = ahead ? ahead->find(side, block.fileLine + k) : nullptr) {
            for (const TextComponent& c : words->components) comps.emplace_back(c).pos += offset;
            anyWord = anyWord || words->anyWord;
        } else {
            KLCS::AppendComponents(line.text, offset, comps, anyWord);
        }
        offset += line.text.size();
        if (line.hasBreak) comps.push_back({offset++, kBreak});
    }
    if (!anyWord) comps.clear();
    size = offset;
    return comps;
}

// A block's lines, split as one text of `size` characters, marked against a common word list.
std::vector<std::vector<MarkRun>> highlightBlock(BlockSide block, qsizetype size, const std::vector<TextComponent>& comps,
                                                 const std::vector<QStringView>& common) {
    const bool endsWithBreak = block.count > 0 && block.lines[block.count - 1].hasBreak;
    const auto runs = highlightComponents(comps, size, endsWithBreak, common);
    std::vector<std::vector<MarkRun>> marks(block.count);
    qsizetype a = 0;
    for (std::size_t k = 0; k < block.count; ++k) {
        const DisplayLine& line = block.lines[k];
        const qsizetype b = a + line.text.size();
        for (const MarkRun& r : runs) {
            const qsizetype s = std::max(a, r.start), e = std::min(b, r.start + r.length);
            if (s < e) marks[k].push_back({s - a, e - s, r.kind});
        }
        a = b + (line.hasBreak ? 1 : 0);
    }
    return marks;
}

std::vector<std::vector<MarkRun>> allMarkedWhole(BlockSide block) {
    std::vector<std::vector<MarkRun>> marks;
    marks.reserve(block.count);
    for (std::size_t k = 0; k < block.count; ++k) marks.push_back(wholeLineMarks(block.lines[k].text, MarkChanged));
    return marks;
}

}  // namespace

bool pairedLineByLine(BlockSide left, BlockSide right) {
    return left.count != right.count && left.count <= 19 && right.count <= 19 &&
           blockChars(left) <= KDiffParser::kMaxPairingChars && blockChars(right) <= KDiffParser::kMaxPairingChars;
}

BlockMarks markChangedBlock(BlockSide left, BlockSide right, const ChangesAhead* ahead) {
    const auto wholly = [&] { return BlockMarks{allMarkedWhole(left), allMarkedWhole(right)}; };
    if (markedWholeOnly(left.count, right.count)) return wholly();
    // Each side is split into words once, for the common words and for the marks.
    qsizetype leftSize = 0, rightSize = 0;
    const auto leftComps = blockComponents(left, ahead, 0, leftSize);
    const auto rightComps = blockComponents(right, ahead, 1, rightSize);
    const auto common = KLCS::CommonComponents(leftComps, rightComps);
    if (!common) return wholly();
    return {highlightBlock(left, leftSize, leftComps, *common), highlightBlock(right, rightSize, rightComps, *common)};
}

std::vector<MarkRun> wholeLineMarks(QStringView text, std::uint8_t kind) {
    if (text.isEmpty()) return {};
    return {{0, text.size(), kind}};
}

std::vector<MarkRun> highlightComponents(const std::vector<TextComponent>& comps, qsizetype textSize,
                                         bool endsWithBreak, const std::vector<QStringView>& commonWords) {
    std::vector<MarkRun> runs;
    std::size_t ci = 0;
    qsizetype cur = 0;
    qsizetype changedStart = -1;
    for (const auto& comp : comps) {
        if (ci >= commonWords.size()) break;
        if (comp.text == commonWords[ci]) {
            if (changedStart >= 0) runs.push_back({changedStart, comp.pos - changedStart, MarkChanged});
            changedStart = -1;
            ++ci;
            cur = comp.pos + comp.text.size();
        } else if (changedStart < 0) {
            changedStart = comp.pos;
        }
    }
    const qsizetype end = textSize - (endsWithBreak ? 1 : 0);
    if (cur < end) runs.push_back({cur, end - cur, MarkChanged});
    return runs;
}

}  // namespace qv
