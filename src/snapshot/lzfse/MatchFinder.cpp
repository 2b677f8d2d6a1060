#include "snapshot/lzfse/MatchFinder.h"

#include "snapshot/lzfse/Format.h"
#include "snapshot/lzfse/V2BlockWriter.h"

#include <bit>
#include <memory>

namespace qv::lzfse::detail {

namespace {

constexpr int kHashBits = 14;
constexpr std::uint32_t kHashLines = 1u << kHashBits;
constexpr std::int32_t kGoodMatch = 40;
constexpr std::int32_t kMaxMatch = 100 * kMaxM;
constexpr std::int32_t kLiteralBacklog = 8 * kMaxL;
// Far enough back that no position ever accepts it as a match.
constexpr std::int32_t kNoPosition = -4 * static_cast<std::int32_t>(kMaxD);

struct HashLine {
    std::int32_t pos[4];
    std::uint32_t value[4];
};

struct Match {
    std::int32_t pos = 0;
    std::int32_t ref = 0;
    std::int32_t len = 0; // 0: none
};

inline std::uint32_t hashOf(std::uint32_t x) { return (x * 2654435761u) >> (32 - kHashBits); }

} // namespace

struct LzfseWindowEncoder::State {
    explicit State(std::vector<std::uint8_t>& output) : out(output), history(std::make_unique<HashLine[]>(kHashLines)) {
        for (std::uint32_t i = 0; i < kHashLines; ++i)
            history[i] = HashLine{{kNoPosition, kNoPosition, kNoPosition, kNoPosition}, {0, 0, 0, 0}};
    }

    std::vector<std::uint8_t>& out;
    std::unique_ptr<HashLine[]> history;
    V2BlockWriter block;
    const std::uint8_t* src = nullptr;
    std::int32_t n = 0;       // the bytes available
    bool final = false;       // whether they are all of the window
    std::int32_t pos = 0;     // the next position to look at
    std::int32_t lit = 0;
    Match pending;
    bool done = false;

    // Goes as far as the bytes available allow: a position whose match might
    // run past them waits for more, so that every choice is the one made
    // with the whole window at hand.
    void run() {
        while (pos < n - 8) {
            const std::uint32_t x = load32(src + pos);
            HashLine& line = history[hashOf(x)];
            const HashLine old = line;

            std::int32_t bestLen = 0, bestRef = 0;
            if (pos >= lit) {
                for (int i = 0; i < 4; ++i) {
                    if (old.value[i] != x) continue;
                    const std::int32_t ref = old.pos[i];
                    if (static_cast<std::int64_t>(ref) + kMaxD < pos) continue;
                    const std::int32_t len = extendForward(pos, ref);
                    if (len < 0) return;   // more input needed
                    if (len > bestLen) {
                        bestLen = len;
                        bestRef = ref;
                    }
                }
            }
            line = HashLine{{pos, old.pos[0], old.pos[1], old.pos[2]}, {x, old.value[0], old.value[1], old.value[2]}};
            if (pos >= lit) choose(bestLen, bestRef);
            ++pos;
        }
        if (!final) return;
        if (pending.len != 0) emit(pending);
        emitLiterals(n - lit);
        block.flush(out);
        done = true;
    }

    void choose(std::int32_t bestLen, std::int32_t bestRef) {
        if (bestLen == 0) {
            if (pos - lit > kLiteralBacklog) {
                if (pending.len != 0) {
                    emit(pending);
                    pending.len = 0;
                } else {
                    emitLiterals(static_cast<std::int32_t>(kMaxL));
                }
            }
            return;
        }

        Match incoming{pos, bestRef, bestLen < kMaxMatch ? bestLen : kMaxMatch};
        while (incoming.pos > lit && incoming.ref > 0 && src[incoming.ref - 1] == src[incoming.pos - 1]) {
            --incoming.pos;
            --incoming.ref;
            ++incoming.len;
        }

        if (incoming.len >= kGoodMatch) {
            emit(incoming);
            pending.len = 0;
        } else if (pending.len == 0) {
            pending = incoming;
        } else if (pending.pos + pending.len <= incoming.pos) {
            emit(pending);
            pending = incoming;
        } else {
            emit(incoming.len > pending.len ? incoming : pending);
            pending.len = 0;
        }
    }

    // Length of the match of at least 4 bytes at pos/ref, stopping once it
    // reaches the window's last 8 bytes (it may run up to 7 bytes into them);
    // -1 when it reaches the bytes available before the window is whole.
    std::int32_t extendForward(std::int32_t at, std::int32_t ref) const {
        const std::int32_t limit = n - at - 8;
        std::int32_t len = 4;
        while (len < limit) {
            const std::uint64_t diff = load64(src + ref + len) ^ load64(src + at + len);
            if (diff != 0) return len + (std::countr_zero(diff) >> 3);
            len += 8;
        }
        return final ? len : -1;
    }

    void emitLiterals(std::int32_t k) {
        const std::int32_t end = lit + k;
        emit(Match{end, end - 1, 0});
    }

    // Turns a match into triples: literal-only triples while the literal run
    // exceeds what one triple carries, then the match split into pieces of at
    // most 2359 bytes. A match never straddles two blocks.
    void emit(const Match& m) {
        std::uint32_t l = static_cast<std::uint32_t>(m.pos - lit);
        std::uint32_t len = static_cast<std::uint32_t>(m.len);
        const std::uint32_t d = static_cast<std::uint32_t>(m.pos - m.ref);
        const std::uint32_t literalTriples = l > kMaxL ? (l - 1) / kMaxL : 0;
        const std::uint32_t matchTriples = len > kMaxM ? (len - 1) / kMaxM : 0;
        const std::uint32_t lastL = l - literalTriples * kMaxL;
        const std::uint32_t lastM = len - matchTriples * kMaxM;
        const std::uint32_t lastTriple = (lastL > 0 && matchTriples == 0) || lastM > 0 ? 1 : 0;
        const std::uint32_t nTriples = literalTriples + matchTriples + lastTriple;
        if (!block.fits(nTriples, l)) block.flush(out);

        const std::uint8_t* lits = src + lit;
        for (std::uint32_t i = 0; i < literalTriples; ++i) {
            add(lits, kMaxL, 0, 1);
            lits += kMaxL;
        }
        std::uint32_t curL = lastL;
        for (std::uint32_t i = 0; i < matchTriples; ++i) {
            add(lits, curL, kMaxM, d);
            lits += curL;
            curL = 0;
        }
        if (curL > 0 || lastM > 0) add(lits, curL, lastM, d);
        lit = m.pos + m.len;
    }

    // Only reached for matches too large for even an empty block, which the
    // backlog limit prevents; splitting keeps the writer's limits regardless.
    void add(const std::uint8_t* lits, std::uint32_t l, std::uint32_t m, std::uint32_t d) {
        if (!block.fits(1, l)) block.flush(out);
        block.add(lits, l, m, d);
    }
};

LzfseWindowEncoder::LzfseWindowEncoder(std::vector<std::uint8_t>& out) : m_state(std::make_unique<State>(out)) {}
LzfseWindowEncoder::~LzfseWindowEncoder() = default;

void LzfseWindowEncoder::advance(const std::uint8_t* src, std::size_t available, bool final) {
    State& s = *m_state;
    if (s.done) return;
    s.src = src;
    s.n = static_cast<std::int32_t>(available);
    s.final = final;
    s.run();
}

void encodeLzfseBlocks(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out) {
    for (std::size_t off = 0; off < in.size(); off += kLzfseWindow) {
        const std::size_t len = in.size() - off < kLzfseWindow ? in.size() - off : kLzfseWindow;
        LzfseWindowEncoder(out).advance(in.data() + off, len, true);
    }
}

} // namespace qv::lzfse::detail
