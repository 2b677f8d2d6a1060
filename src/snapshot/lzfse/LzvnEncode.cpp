#include "snapshot/lzfse/LzvnEncode.h"

#include "snapshot/lzfse/Format.h"

#include <bit>
#include <memory>

namespace qv::lzfse::detail {

namespace {

constexpr std::uint32_t kHashLines = 1u << 14;
constexpr std::int64_t kMaxDistance = 65535;
constexpr std::int64_t kLiteralBacklog = 400;
constexpr std::int64_t kMaxRun = 271; // longest literal or match run of one opcode

struct HashLine {
    std::int32_t pos[4];
    std::uint32_t value[4];
};

struct Match {
    std::int64_t begin = 0, end = 0, d = 0, gain = 0;
    bool valid = false;
};

inline std::uint32_t hashOf(std::uint32_t v) { return (((v & 0xFFFFFF) * 4161u) >> 12) & 0x3FFF; }

inline int equalLeadingBytes(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t x = a ^ b;
    return x == 0 ? 4 : std::countr_zero(x) >> 3;
}

class LzvnEncoder {
public:
    LzvnEncoder(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out)
        : src_(in.data()), n_(static_cast<std::int64_t>(in.size())), out_(out) {}

    void run() {
        auto table = std::make_unique<HashLine[]>(kHashLines);
        const std::uint32_t first = load32(src_);
        for (std::uint32_t i = 0; i < kHashLines; ++i)
            table[i] = HashLine{{0, 0, 0, 0}, {first, first, first, first}};

        Match pending;
        for (std::int64_t cur = 0; cur < n_ - 8; ++cur) {
            const std::uint32_t v = load32(src_ + cur);
            HashLine& line = table[hashOf(v)];
            const HashLine old = line;
            line = HashLine{{static_cast<std::int32_t>(cur), old.pos[0], old.pos[1], old.pos[2]},
                            {v, old.value[0], old.value[1], old.value[2]}};
            if (cur < lit_) continue;

            Match best;
            for (int i = 0; i < 4; ++i) {
                Match c = candidate(cur, old.pos[i], equalLeadingBytes(v, old.value[i]));
                consider(best, c);
            }
            // Reusing the previous distance saves the distance bytes, hence the bonus.
            if (dprev_ != 0 && cur - dprev_ >= 0) {
                const std::int64_t ref = cur - dprev_;
                Match c = candidate(cur, ref, equalLeadingBytes(v, load32(src_ + ref)));
                if (c.valid) c.gain = (c.end - c.begin) - 1;
                consider(best, c);
            }

            if (!best.valid) {
                if (cur - lit_ >= kLiteralBacklog) {
                    if (pending.valid) {
                        emitMatch(pending);
                        pending.valid = false;
                    } else {
                        putLiteralRun(kMaxRun);
                    }
                }
            } else if (!pending.valid) {
                pending = best;
            } else if (pending.end <= best.begin) {
                emitMatch(pending);
                pending = best;
            } else {
                if (best.gain > pending.gain) pending = best;
                emitMatch(pending);
                pending.valid = false;
            }
        }
        // A match still pending here is dropped: its bytes go out as literals.
        putLiteralRun(n_ - lit_);
        static constexpr std::uint8_t kEnd[8] = {0x06, 0, 0, 0, 0, 0, 0, 0};
        out_.insert(out_.end(), kEnd, kEnd + 8);
    }

private:
    Match candidate(std::int64_t cur, std::int64_t ref, int c) const {
        Match m;
        if (c < 3) return m;
        const std::int64_t d = cur - ref;
        if (d <= 0 || d > kMaxDistance) return m;
        std::int64_t end = cur + c;
        while (c == 4 && end + 4 < n_) {
            c = equalLeadingBytes(load32(src_ + end), load32(src_ + end - d));
            end += c;
        }
        std::int64_t begin = cur;
        std::int64_t r = ref;
        while (r > 0 && begin > lit_ && src_[begin - 1] == src_[r - 1]) {
            --begin;
            --r;
        }
        m.begin = begin;
        m.end = end;
        m.d = d;
        m.gain = (end - begin) - (d < 1536 ? 2 : 3);
        m.valid = true;
        return m;
    }

    static void consider(Match& best, const Match& c) {
        if (!c.valid) return;
        if (!best.valid || c.gain > best.gain || (c.gain == best.gain && c.end > best.end + 1)) best = c;
    }

    void putLiteralRun(std::int64_t k) {
        const std::uint8_t* p = src_ + lit_;
        while (k > 15) {
            const std::int64_t x = k < kMaxRun ? k : kMaxRun;
            out_.push_back(0xE0);
            out_.push_back(static_cast<std::uint8_t>(x - 16));
            out_.insert(out_.end(), p, p + x);
            p += x;
            k -= x;
            lit_ += x;
        }
        if (k > 0) {
            out_.push_back(static_cast<std::uint8_t>(0xE0 + k));
            out_.insert(out_.end(), p, p + k);
            lit_ += k;
        }
    }

    void emitMatch(const Match& mt) {
        std::int64_t l = mt.begin - lit_;
        std::int64_t m = mt.end - mt.begin;
        const std::int64_t d = mt.d;
        // Long literal runs go out on their own opcodes; a remainder of up to
        // 3 bytes rides along with the match opcode.
        std::int64_t rest = l;
        while (rest > 15) rest -= rest < kMaxRun ? rest : kMaxRun;
        if (rest > 3) rest = 0;
        putLiteralRun(l - rest);
        l = rest;
        const std::int64_t x = m < 10 - 2 * l ? m : 10 - 2 * l;
        m -= x;
        std::int64_t mf = x - 3;
        const std::uint8_t* lits = src_ + lit_;
        const auto L = static_cast<std::uint32_t>(l);
        if (d == dprev_) {
            if (l == 0) {
                out_.push_back(static_cast<std::uint8_t>(0xF0 + mf + 3));
            } else {
                out_.push_back(static_cast<std::uint8_t>((L << 6) | (mf << 3) | 6));
            }
        } else if (d < 1536) {
            out_.push_back(static_cast<std::uint8_t>((L << 6) | (mf << 3) | (d >> 8)));
            out_.push_back(static_cast<std::uint8_t>(d & 0xFF));
        } else if (d >= 16384 || m == 0 || mf + 3 + m > 34) {
            out_.push_back(static_cast<std::uint8_t>((L << 6) | (mf << 3) | 7));
            out_.push_back(static_cast<std::uint8_t>(d & 0xFF));
            out_.push_back(static_cast<std::uint8_t>(d >> 8));
        } else {
            // The medium-distance form carries the whole remaining match.
            mf += m;
            m = 0;
            out_.push_back(static_cast<std::uint8_t>(0xA0 | (mf >> 2) | (L << 3)));
            const std::uint32_t w = static_cast<std::uint32_t>((d << 2) | (mf & 3));
            out_.push_back(static_cast<std::uint8_t>(w & 0xFF));
            out_.push_back(static_cast<std::uint8_t>(w >> 8));
        }
        out_.insert(out_.end(), lits, lits + l);
        while (m > 15) {
            const std::int64_t y = m < kMaxRun ? m : kMaxRun;
            out_.push_back(0xF0);
            out_.push_back(static_cast<std::uint8_t>(y - 16));
            m -= y;
        }
        if (m > 0) out_.push_back(static_cast<std::uint8_t>(0xF0 + m));
        dprev_ = d;
        lit_ = mt.end;
    }

    const std::uint8_t* src_;
    std::int64_t n_;
    std::vector<std::uint8_t>& out_;
    std::int64_t lit_ = 0;
    std::int64_t dprev_ = 0;
};

} // namespace

void encodeLzvnPayload(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& payload) {
    payload.clear();
    payload.reserve(in.size() + in.size() / 8 + 64);
    LzvnEncoder(in, payload).run();
}

} // namespace qv::lzfse::detail
