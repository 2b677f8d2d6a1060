#include "filecompare/LineWordsAhead.h"

#include <QHash>

#include <algorithm>
#include <cstdint>

namespace qv {
namespace {

// Which line hashes a side holds, as bits: a clear bit means no line of that
// side has the hash, so a line hashing there is surely absent. A set bit
// may be another line's: such a line is merely not split ahead.
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
    for (const DisplayLine& line : lines) hashes.push_back(qHash(QStringView(line.text)));
    return hashes;
}

}  // namespace

void LineWordsAhead::start(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right) {
    finish();
    m_stop = false;
    m_words[0].clear();
    m_words[1].clear();
    m_thread = std::thread([this, &left, &right] { splitWords(left, right); });
}

void LineWordsAhead::finish() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
}

void LineWordsAhead::splitWords(const std::vector<DisplayLine>& left, const std::vector<DisplayLine>& right) {
    const std::vector<std::size_t> hashes[2] = {lineHashes(left), lineHashes(right)};
    std::size_t components = 0;
    for (int side = 0; side < 2; ++side) {
        const std::vector<DisplayLine>& lines = side == 0 ? left : right;
        const HashBits other(hashes[1 - side]);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (m_stop.load(std::memory_order_relaxed) || components > kMaxComponents) return;
            const QString& text = lines[i].text;
            if (other.mayHold(hashes[side][i]) || text.size() > kMaxLineChars) continue;
            Words words;
            KLCS::AppendComponents(text, 0, words.components, words.anyWord);
            components += words.components.size();
            m_words[side].emplace_back(i, std::move(words));
        }
    }
}

const LineWordsAhead::Words* LineWordsAhead::find(int side, std::size_t line) const {
    const auto& words = m_words[side];
    const auto it = std::lower_bound(words.begin(), words.end(), line,
                                     [](const auto& entry, std::size_t l) { return entry.first < l; });
    return it != words.end() && it->first == line ? &it->second : nullptr;
}

}  // namespace qv
