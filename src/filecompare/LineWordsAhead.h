#pragma once
// The words of lines that will be in changed blocks, split while the line
// tool still compares the files. A line found nowhere in the other file is
// changed whatever the tool answers: splitting its words early takes that
// work off the time after the tool ends, which the user waits through.

#include "filecompare/KDiffParser.h"
#include "filecompare/KLCS.h"

#include <atomic>
#include <cstddef>
#include <thread>
#include <utility>
#include <vector>

namespace qv {

class LineWordsAhead {
public:
    struct Words {
        std::vector<TextComponent> components;   // positions from the line's start
        bool anyWord = false;
    };

    LineWordsAhead() = default;
    LineWordsAhead(const LineWordsAhead&) = delete;
    LineWordsAhead& operator=(const LineWordsAhead&) = delete;
    ~LineWordsAhead() { finish(); }

    // Starts on a thread of its own. The lines and the texts they refer to
    // must stay as they are until finish() returns.
    void start(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right);
    // Stops where it has come to and waits for the thread.
    void finish();
    // The words of a side's line (from 0), when they were split in time.
    const Words* find(int side, std::size_t line) const;
    // What the thread does, here and now, until finish() is called.
    void splitWords(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right);

    // Past these the work is left for later: a line this long is rare in a
    // changed block worth marking by words, and a pair with this many
    // changed words is marked mostly whole.
    static constexpr qsizetype kMaxLineChars = 10000;
    static constexpr std::size_t kMaxComponents = std::size_t(1) << 20;

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::vector<std::pair<std::size_t, Words>> m_words[2];   // in line order
};

}  // namespace qv
