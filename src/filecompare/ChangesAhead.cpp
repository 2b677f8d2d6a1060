#include "filecompare/ChangesAhead.h"

#include "filecompare/TextHash.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace qv {
namespace {

// Which line hashes a side holds, as bits: a clear bit means no line of that
// side has the hash, so a line hashing there is surely absent. A set bit
// may be another line's: such a line is merely not taken as changed.
class HashBits {
public:
    explicit HashBits(const std::vector<std::size_t>& hashes) : m_bits(kWords, 0) {
        for (std::size_t h : hashes) m_bits[(h >> 6) & (kWords - 1)] |= std::uint64_t(1) << (h & 63);
    }
    bool mayHold(std::size_t h) const { return m_bits[(h >> 6) & (kWords - 1)] & (std::uint64_t(1) << (h & 63)); }

private:
    static constexpr std::size_t kWords = std::size_t(1) << 16;   // 4M bits, 512 KiB
    std::vector<std::uint64_t> m_bits;
};

std::vector<std::size_t> lineHashes(const std::vector<DisplayLine>& lines) {
    std::vector<std::size_t> hashes;
    hashes.reserve(lines.size());
    for (const DisplayLine& line : lines) hashes.push_back(textHash(line.text));
    return hashes;
}

}  // namespace

void ChangesAhead::start(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right,
                         std::vector<std::size_t> leftHashes, std::vector<std::size_t> rightHashes) {
    finish();
    m_stop = false;
    m_words[0].clear();
    m_words[1].clear();
    m_blocks.clear();
    m_hashes[0] = std::move(leftHashes);
    m_hashes[1] = std::move(rightHashes);
    m_thread = std::thread([this, &left, &right] { workOnHashed(left, right); });
}

void ChangesAhead::finish() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void ChangesAhead::work(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right) {
    m_hashes[0] = lineHashes(left);
    m_hashes[1] = lineHashes(right);
    workOnHashed(left, right);
}

void ChangesAhead::workOnHashed(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right) {
    if (splitWords(left, right)) markGuessedBlocks(left, right);
}

bool ChangesAhead::splitWords(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right) {
    const auto& hashes = m_hashes;
    std::size_t components = 0;
    for (int side = 0; side < 2; ++side) {
        const std::vector<DisplayLine>& lines = side == 0 ? left : right;
        const HashBits other(hashes[1 - side]);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (stopped() || components > kMaxComponents) return false;
            const QStringView text = lines[i].text;
            if (other.mayHold(hashes[side][i]) || text.size() > kMaxLineChars) continue;
            Words words;
            // About one component for every two characters in code and prose: grown
            // a piece at a time instead, a line's list was copied five times.
            words.components.reserve(std::size_t(text.size()) / 2 + 2);
            KLCS::AppendComponents(text, 0, words.components, words.anyWord);
            components += words.components.size();
            m_words[side].emplace_back(i, std::move(words));
        }
    }
    return true;
}

void ChangesAhead::markGuessedBlocks(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right) {
    // Lines are taken as alike by their hashes alone, without reading their
    // texts again: a guessed block is used only where the tool cuts the very
    // same block, and its marks come from its own lines, so a hash shared by
    // two different lines costs a guess, never a wrong mark.
    const auto same = [&](std::size_t i, std::size_t j) { return m_hashes[0][i] == m_hashes[1][j]; };
    // A line alike on both sides, or both ends reached.
    const auto agreeAt = [&](std::size_t i, std::size_t j) {
        if (i == left.size() || j == right.size()) return i == left.size() && j == right.size();
        return same(i, j);
    };
    // Where the files stop agreeing, a block is guessed up to the nearest
    // place where they agree again: the tool's shortest script mostly cuts
    // the same block. Farther than kFarthestGuess lines the walk stops.
    const auto nextAgreement = [&](std::size_t i, std::size_t j) -> std::optional<std::pair<std::size_t, std::size_t>> {
        for (std::size_t d = 1; d <= 2 * kFarthestGuess; ++d) {
            if (stopped()) return std::nullopt;
            for (std::size_t a = d > kFarthestGuess ? d - kFarthestGuess : 0; a <= std::min(d, kFarthestGuess); ++a)
                if (i + a <= left.size() && j + d - a <= right.size() && agreeAt(i + a, j + d - a))
                    return std::make_pair(i + a, j + d - a);
        }
        return std::nullopt;
    };
    std::size_t i = 0, j = 0;
    while (i < left.size() && j < right.size() && !stopped()) {
        if (same(i, j)) {
            ++i, ++j;
            continue;
        }
        const auto agreement = nextAgreement(i, j);
        if (!agreement) return;
        const auto [i2, j2] = *agreement;
        const BlockSide l{&left[i], i2 - i, i}, r{&right[j], j2 - j, j};
        // A block on one side only is marked whole, at no cost.
        if (l.count > 0 && r.count > 0 && !pairedLineByLine(l, r))
            m_blocks.push_back({i, l.count, j, r.count, markChangedBlock(l, r, this)});
        i = i2, j = j2;
    }
}

const ChangesAhead::Words* ChangesAhead::find(int side, std::size_t line) const {
    const auto& words = m_words[side];
    const auto it = std::lower_bound(words.begin(), words.end(), line,
                                     [](const auto& entry, std::size_t l) { return entry.first < l; });
    return it != words.end() && it->first == line ? &it->second : nullptr;
}

std::optional<BlockMarks> ChangesAhead::takeMarksOf(std::size_t leftLine, std::size_t leftCount, std::size_t rightLine,
                                                    std::size_t rightCount) {
    const auto it = std::lower_bound(m_blocks.begin(), m_blocks.end(), leftLine,
                                     [](const GuessedBlock& b, std::size_t l) { return b.leftLine < l; });
    if (it == m_blocks.end() || it->taken || it->leftLine != leftLine || it->leftCount != leftCount ||
        it->rightLine != rightLine || it->rightCount != rightCount)
        return std::nullopt;
    it->taken = true;
    return std::move(it->marks);
}

}  // namespace qv
