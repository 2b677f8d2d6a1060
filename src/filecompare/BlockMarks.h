#pragma once
// The marks inside a changed block: both sides are split into words, the
// words they share in order are found, and the rest is marked. A block's
// marks depend on its lines alone, so they can be made before the block's
// place among the aligned lines is known.

#include "filecompare/KDiffParser.h"
#include "filecompare/KLCS.h"

#include <cstddef>
#include <vector>

namespace qv {

class ChangesAhead;

// One side of a changed block: lines that follow one another, and the
// number of the first one in its file (from 0).
struct BlockSide {
    const DisplayLine* lines = nullptr;
    std::size_t count = 0;
    std::size_t fileLine = 0;
};

// A block's marks, one list per line of each side.
struct BlockMarks {
    std::vector<std::vector<MarkRun>> left, right;
};

// A block whose sides differ in length and are small enough is first paired
// line by line; only a block that is not, or that finds no pairing, is
// marked as a whole by markChangedBlock.
bool pairedLineByLine(BlockSide left, BlockSide right);

// `ahead`, when given, holds the words of some lines split earlier.
BlockMarks markChangedBlock(BlockSide left, BlockSide right, const ChangesAhead* ahead);

// All of a line marked as `kind`; an empty line has nothing to mark.
std::vector<MarkRun> wholeLineMarks(QStringView text, std::uint8_t kind);

// The runs of a split text that are not the common words, in order.
std::vector<MarkRun> highlightComponents(const std::vector<TextComponent>& comps, qsizetype textSize,
                                         bool endsWithBreak, const std::vector<QStringView>& commonWords);

}  // namespace qv
