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
constexpr std::size_t kWindow = std::size_t{1} << 30;

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

class LzfseEncoder {
public:
    LzfseEncoder(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out)
        : src_(in.data()), n_(static_cast<std::int32_t>(in.size())), out_(out),
          history_(std::make_unique<HashLine[]>(kHashLines)) {
        for (std::uint32_t i = 0; i < kHashLines; ++i)
            history_[i] = HashLine{{kNoPosition, kNoPosition, kNoPosition, kNoPosition}, {0, 0, 0, 0}};
    }

    void run() {
        const std::uint8_t* const src = src_;
        const std::int32_t n = n_;
        for (std::int32_t pos = 0; pos < n - 8; ++pos) {
            const std::uint32_t x = load32(src + pos);
            HashLine& line = history_[hashOf(x)];
            const HashLine old = line;
            line = HashLine{{pos, old.pos[0], old.pos[1], old.pos[2]},
                            {x, old.value[0], old.value[1], old.value[2]}};
            if (pos < lit_) continue;

            std::int32_t bestLen = 0, bestRef = 0;
            for (int i = 0; i < 4; ++i) {
                if (old.value[i] != x) continue;
                const std::int32_t ref = old.pos[i];
                if (static_cast<std::int64_t>(ref) + kMaxD < pos) continue;
                const std::int32_t len = extendForward(pos, ref);
                if (len > bestLen) {
                    bestLen = len;
                    bestRef = ref;
                }
            }
            if (bestLen == 0) {
                if (pos - lit_ > kLiteralBacklog) {
                    if (pending_.len != 0) {
                        emit(pending_);
                        pending_.len = 0;
                    } else {
                        emitLiterals(static_cast<std::int32_t>(kMaxL));
                    }
                }
                continue;
            }

            Match incoming{pos, bestRef, bestLen < kMaxMatch ? bestLen : kMaxMatch};
            while (incoming.pos > lit_ && incoming.ref > 0 &&
                   src[incoming.ref - 1] == src[incoming.pos - 1]) {
                --incoming.pos;
                --incoming.ref;
                ++incoming.len;
            }

            if (incoming.len >= kGoodMatch) {
                emit(incoming);
                pending_.len = 0;
            } else if (pending_.len == 0) {
                pending_ = incoming;
            } else if (pending_.pos + pending_.len <= incoming.pos) {
                emit(pending_);
                pending_ = incoming;
            } else {
                emit(incoming.len > pending_.len ? incoming : pending_);
                pending_.len = 0;
            }
        }
        if (pending_.len != 0) emit(pending_);
        emitLiterals(n - lit_);
        block_.flush(out_);
    }

private:
    // Length of the match of at least 4 bytes at pos/ref, stopping once it
    // reaches the last 8 input bytes (it may run up to 7 bytes into them).
    std::int32_t extendForward(std::int32_t pos, std::int32_t ref) const {
        const std::int32_t limit = n_ - pos - 8;
        std::int32_t len = 4;
        while (len < limit) {
            const std::uint64_t diff = load64(src_ + ref + len) ^ load64(src_ + pos + len);
            if (diff != 0) return len + (std::countr_zero(diff) >> 3);
            len += 8;
        }
        return len;
    }

    void emitLiterals(std::int32_t k) {
        const std::int32_t end = lit_ + k;
        emit(Match{end, end - 1, 0});
    }

    // Turns a match into triples: literal-only triples while the literal run
    // exceeds what one triple carries, then the match split into pieces of at
    // most 2359 bytes. A match never straddles two blocks.
    void emit(const Match& m) {
        std::uint32_t l = static_cast<std::uint32_t>(m.pos - lit_);
        std::uint32_t len = static_cast<std::uint32_t>(m.len);
        const std::uint32_t d = static_cast<std::uint32_t>(m.pos - m.ref);
        const std::uint32_t literalTriples = l > kMaxL ? (l - 1) / kMaxL : 0;
        const std::uint32_t matchTriples = len > kMaxM ? (len - 1) / kMaxM : 0;
        const std::uint32_t lastL = l - literalTriples * kMaxL;
        const std::uint32_t lastM = len - matchTriples * kMaxM;
        const std::uint32_t lastTriple = (lastL > 0 && matchTriples == 0) || lastM > 0 ? 1 : 0;
        const std::uint32_t nTriples = literalTriples + matchTriples + lastTriple;
        if (!block_.fits(nTriples, l)) block_.flush(out_);

        const std::uint8_t* lits = src_ + lit_;
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
        lit_ = m.pos + m.len;
    }

    // Only reached for matches too large for even an empty block, which the
    // backlog limit prevents; splitting keeps the writer's limits regardless.
    void add(const std::uint8_t* lits, std::uint32_t l, std::uint32_t m, std::uint32_t d) {
        if (!block_.fits(1, l)) block_.flush(out_);
        block_.add(lits, l, m, d);
    }

    const std::uint8_t* src_;
    std::int32_t n_;
    std::vector<std::uint8_t>& out_;
    std::unique_ptr<HashLine[]> history_;
    V2BlockWriter block_;
    std::int32_t lit_ = 0;
    Match pending_;
};

} // namespace

void encodeLzfseBlocks(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out) {
    for (std::size_t off = 0; off < in.size(); off += kWindow) {
        const std::size_t len = in.size() - off < kWindow ? in.size() - off : kWindow;
        LzfseEncoder(in.subspan(off, len), out).run();
    }
}

} // namespace qv::lzfse::detail
