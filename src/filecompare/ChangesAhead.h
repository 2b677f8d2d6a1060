#pragma once
// Work on the changed lines done while the line tool still compares the
// files, which takes most of a comparison's time. A line found nowhere in
// the other file is changed whatever the tool answers: its words are split
// early. Then the changed blocks are guessed, walking both files where they
// agree, and each guessed block is marked by words. A block
// the tool reports exactly as guessed takes these marks, since a block's
// marks depend on its lines alone; any other is marked once the tool ends.

#include "filecompare/BlockMarks.h"
#include "filecompare/KDiffParser.h"
#include "filecompare/KLCS.h"

#include <atomic>
#include <cstddef>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace qv {

class ChangesAhead {
public:
    struct Words {
        std::vector<TextComponent> components;   // positions from the line's start
        bool anyWord = false;
    };

    ChangesAhead() = default;
    ChangesAhead(const ChangesAhead&) = delete;
    ChangesAhead& operator=(const ChangesAhead&) = delete;
    ~ChangesAhead() { finish(); }

    // Starts on a thread of its own, with each line's hash (textHash). The
    // lines and the texts they refer to must stay as they are until finish() returns.
    void start(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right,
               std::vector<std::size_t> leftHashes, std::vector<std::size_t> rightHashes);
    // Stops where it has come to and waits for the thread.
    void finish();
    // What the thread does, here and now, until finish() is called; the
    // lines are hashed first.
    void work(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right);

    // The words of a side's line (from 0), when they were split in time.
    const Words* find(int side, std::size_t line) const;
    // The marks of the block of `leftCount` lines from file line `leftLine`
    // and `rightCount` from `rightLine`, when it was guessed and marked in
    // time. They are handed over, not copied: a block's marks are taken once.
    std::optional<BlockMarks> takeMarksOf(std::size_t leftLine, std::size_t leftCount, std::size_t rightLine,
                                          std::size_t rightCount);
    std::size_t blocksMarked() const { return m_blocks.size(); }

    // Past these the work is left for later: a line this long is rare in a
    // changed block worth marking by words, and a pair with this many
    // changed words is marked mostly whole.
    static constexpr qsizetype kMaxLineChars = 10000;
    static constexpr std::size_t kMaxComponents = std::size_t(1) << 20;
    // A guessed block ends where the files agree again, within this many
    // lines of each side.
    static constexpr std::size_t kFarthestGuess = 256;

private:
    struct GuessedBlock {
        std::size_t leftLine, leftCount, rightLine, rightCount;
        BlockMarks marks;
        bool taken = false;
    };
    bool stopped() const { return m_stop.load(std::memory_order_relaxed); }
    void workOnHashed(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right);
    bool splitWords(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right);
    void markGuessedBlocks(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right);

    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::vector<std::size_t> m_hashes[2];                      // each line's, in line order
    std::vector<std::pair<std::size_t, Words>> m_words[2];   // in line order
    std::vector<GuessedBlock> m_blocks;                       // in line order
};

}  // namespace qv
