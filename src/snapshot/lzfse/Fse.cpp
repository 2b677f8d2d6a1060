#include "snapshot/lzfse/Fse.h"

#include <bit>

namespace qv::lzfse::detail {

namespace {

int log2Exact(int n) { return std::countr_zero(static_cast<unsigned>(n)); }
int floorLog2(unsigned v) { return 31 - std::countl_zero(v); }

} // namespace

std::uint32_t frequencySum(const std::uint16_t* freq, int nSymbols) {
    std::uint32_t sum = 0;
    for (int i = 0; i < nSymbols; ++i) sum += freq[i];
    return sum;
}

void buildLiteralDecoder(const std::uint16_t* freq, LiteralDecodeEntry* table) {
    constexpr int n = 1024;
    constexpr int logN = 10;
    int c = 0;
    for (int sym = 0; sym < 256; ++sym) {
        const int f = freq[sym];
        if (f == 0) continue;
        const int k = logN - floorLog2(static_cast<unsigned>(f));
        const int j0 = ((2 * n) >> k) - f;
        for (int j = 0; j < f; ++j) {
            LiteralDecodeEntry& e = table[c + j];
            e.symbol = static_cast<std::uint8_t>(sym);
            if (j < j0) {
                e.nbits = static_cast<std::uint8_t>(k);
                e.delta = static_cast<std::uint16_t>(((f + j) << k) - n);
            } else {
                e.nbits = static_cast<std::uint8_t>(k - 1);
                e.delta = static_cast<std::uint16_t>((j - j0) << (k - 1));
            }
        }
        c += f;
    }
}

void buildValueDecoder(int nStates, int nSymbols, const std::uint16_t* freq,
                       const std::uint8_t* extraBits, const std::int32_t* base,
                       ValueDecodeEntry* table) {
    const int logN = log2Exact(nStates);
    int c = 0;
    for (int sym = 0; sym < nSymbols; ++sym) {
        const int f = freq[sym];
        if (f == 0) continue;
        const int k = logN - floorLog2(static_cast<unsigned>(f));
        const int j0 = ((2 * nStates) >> k) - f;
        for (int j = 0; j < f; ++j) {
            ValueDecodeEntry& e = table[c + j];
            e.extraBits = extraBits[sym];
            e.base = base[sym];
            if (j < j0) {
                e.totalBits = static_cast<std::uint8_t>(k + extraBits[sym]);
                e.delta = static_cast<std::uint16_t>(((f + j) << k) - nStates);
            } else {
                e.totalBits = static_cast<std::uint8_t>(k - 1 + extraBits[sym]);
                e.delta = static_cast<std::uint16_t>((j - j0) << (k - 1));
            }
        }
        c += f;
    }
}

void buildEncoder(int nStates, int nSymbols, const std::uint16_t* freq, EncodeEntry* table) {
    const int logN = log2Exact(nStates);
    int c = 0;
    for (int sym = 0; sym < nSymbols; ++sym) {
        const int f = freq[sym];
        EncodeEntry& e = table[sym];
        if (f == 0) {
            e = EncodeEntry{0, 0, 0, 0};
            continue;
        }
        const int k = logN - floorLog2(static_cast<unsigned>(f));
        e.k = static_cast<std::int16_t>(k);
        e.s0 = static_cast<std::int16_t>((f << k) - nStates);
        e.delta0 = static_cast<std::int16_t>(c - f + (nStates >> k));
        e.delta1 = static_cast<std::int16_t>(k >= 1 ? c - f + (nStates >> (k - 1)) : 0);
        c += f;
    }
}

void normalizeCounts(const std::uint32_t* counts, int nSymbols, int nStates, std::uint16_t* freq) {
    std::uint64_t total = 0;
    for (int i = 0; i < nSymbols; ++i) total += counts[i];
    const std::uint32_t step =
        total == 0 ? 0 : static_cast<std::uint32_t>((std::uint64_t{1} << 31) / total);
    const int shift = 30 - log2Exact(nStates);
    int remaining = nStates;
    int maxFreq = 0;
    int maxSym = 0;
    for (int i = 0; i < nSymbols; ++i) {
        std::uint32_t f =
            static_cast<std::uint32_t>((((std::uint64_t{counts[i]} * step) >> shift) + 1) >> 1);
        if (f == 0 && counts[i] > 0) f = 1;
        freq[i] = static_cast<std::uint16_t>(f);
        remaining -= static_cast<int>(f);
        if (static_cast<int>(f) > maxFreq) {
            maxFreq = static_cast<int>(f);
            maxSym = i;
        }
    }
    if (-remaining < (maxFreq >> 2)) {
        freq[maxSym] = static_cast<std::uint16_t>(freq[maxSym] + remaining);
        return;
    }
    // Large overshoot (many rare symbols rounded up to 1): take states back
    // from every symbol in proportion to its size, gentler with each pass.
    int over = -remaining;
    for (int t = 3; over > 0; t = t > 0 ? t - 1 : 0) {
        for (int i = 0; i < nSymbols && over > 0; ++i) {
            if (freq[i] > 1) {
                int n = (freq[i] - 1) >> t;
                if (n > over) n = over;
                freq[i] = static_cast<std::uint16_t>(freq[i] - n);
                over -= n;
            }
        }
    }
}

} // namespace qv::lzfse::detail
