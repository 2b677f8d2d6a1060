// Building blocks of the LZFSE coder checked in isolation, where a fault
// would otherwise only show up as an unexplained round-trip failure.

#include "snapshot/lzfse/BitReader.h"
#include "snapshot/lzfse/BitWriter.h"
#include "snapshot/lzfse/BlockHeader.h"
#include "snapshot/lzfse/Fse.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace qv::lzfse::detail {
namespace {

TEST(LzfseInternals, NormalizedFrequenciesCoverEveryStateAndEverySymbol) {
    std::mt19937_64 rng(5);
    const int tables[][2] = {{1024, 256}, {64, 20}, {256, 64}};
    for (const auto& t : tables) {
        const int nStates = t[0], nSymbols = t[1];
        for (int round = 0; round < 300; ++round) {
            std::vector<std::uint32_t> counts(nSymbols);
            const int shape = round % 4;
            for (auto& c : counts) {
                switch (shape) {
                case 0: c = static_cast<std::uint32_t>(rng() % 50); break;            // even-ish
                case 1: c = rng() % 4 == 0 ? static_cast<std::uint32_t>(rng() % 100000) : 0; break; // sparse
                case 2: c = static_cast<std::uint32_t>(rng() % 3); break;             // many rare symbols
                default: c = 0;
                }
            }
            if (shape == 3) counts[rng() % nSymbols] = 1 + static_cast<std::uint32_t>(rng() % 40000);
            std::vector<std::uint16_t> freq(nSymbols);
            normalizeCounts(counts.data(), nSymbols, nStates, freq.data());
            std::uint32_t sum = 0;
            for (int i = 0; i < nSymbols; ++i) {
                sum += freq[i];
                if (counts[i] > 0) {
                    EXPECT_GE(freq[i], 1) << "symbol " << i;
                }
                if (counts[i] == 0 && freq[i] != 0) {
                    // Only an empty histogram gives states to an absent symbol (symbol 0).
                    std::uint64_t total = 0;
                    for (auto c : counts) total += c;
                    EXPECT_EQ(total, 0u);
                    EXPECT_EQ(i, 0);
                }
            }
            EXPECT_EQ(sum, static_cast<std::uint32_t>(nStates));
        }
    }
    // The literal table of a 36-literal block: one byte 4 times, seven twice,
    // eighteen once. Rounding gives 114/57/28 and the 7 missing states go to
    // the most frequent symbol.
    std::uint32_t counts[256] = {};
    counts[0] = 4;
    for (int i = 1; i <= 7; ++i) counts[i] = 2;
    for (int i = 8; i < 26; ++i) counts[i] = 1;
    std::uint16_t freq[256];
    normalizeCounts(counts, 256, 1024, freq);
    EXPECT_EQ(freq[0], 121);
    EXPECT_EQ(freq[1], 57);
    EXPECT_EQ(freq[8], 28);
}

TEST(LzfseInternals, FrequencyCodeRoundTripsAndRejectsMisfits) {
    std::mt19937_64 rng(11);
    for (int round = 0; round < 200; ++round) {
        std::uint16_t values[kFrequencyCount];
        for (auto& v : values) {
            // Cover every code length, up to the largest codable value.
            const int cls = static_cast<int>(rng() % 5);
            v = static_cast<std::uint16_t>(cls == 0 ? rng() % 2 : cls == 1 ? 2 + rng() % 6
                                           : cls == 2 ? 8 + rng() % 16 : 24 + rng() % 1024);
        }
        std::vector<std::uint8_t> coded;
        encodeFrequencies(values, coded);
        std::uint16_t back[kFrequencyCount];
        ASSERT_TRUE(decodeFrequencies(coded.data(), coded.size(), back));
        for (int i = 0; i < kFrequencyCount; ++i) ASSERT_EQ(back[i], values[i]) << i;
        // The tables must fill their area exactly: one byte more or less is malformed.
        coded.push_back(0);
        EXPECT_FALSE(decodeFrequencies(coded.data(), coded.size(), back));
        EXPECT_FALSE(decodeFrequencies(coded.data(), coded.size() - 2, back));
    }
}

TEST(LzfseInternals, EncoderAndDecoderTablesAreInverse) {
    // Encode random symbols last-first with the encoder table, then decode
    // them first-first from the final state, as the block coder does.
    std::mt19937_64 rng(3);
    for (int round = 0; round < 100; ++round) {
        const int nStates = round % 2 ? 256 : 64;
        const int nSymbols = round % 2 ? 64 : 20;
        std::vector<std::uint32_t> counts(nSymbols);
        for (auto& c : counts) c = rng() % 3 == 0 ? 0 : static_cast<std::uint32_t>(rng() % 1000);
        if (round % 10 == 0) std::fill(counts.begin(), counts.end(), 0), counts[3] = 9; // single symbol
        std::vector<std::uint16_t> freq(nSymbols);
        normalizeCounts(counts.data(), nSymbols, nStates, freq.data());
        std::vector<int> used;
        for (int s = 0; s < nSymbols; ++s)
            if (freq[s]) used.push_back(s);

        std::vector<int> symbols(1 + rng() % 2000);
        for (auto& s : symbols) s = used[rng() % used.size()];

        std::vector<EncodeEntry> enc(nSymbols);
        buildEncoder(nStates, nSymbols, freq.data(), enc.data());
        std::vector<std::uint8_t> buf(symbols.size() * 2 + 64, 0);
        // Leading zero bytes stand in for the block header the reader may prefetch.
        BitWriter w(buf.data() + 8);
        std::int32_t state = 0;
        for (std::size_t i = symbols.size(); i-- != 0;) {
            const EncodeEntry& e = enc[symbols[i]];
            const int nb = state >= e.s0 ? e.k : e.k - 1;
            w.put(nb, static_cast<std::uint32_t>(state) & ((1u << nb) - 1));
            state = (state >= e.s0 ? e.delta0 : e.delta1) + (state >> nb);
            w.flush();
        }
        const int bits = w.finish();
        ASSERT_GE(state, 0);
        ASSERT_LT(state, nStates);

        std::vector<std::uint8_t> extra(nSymbols, 0);
        std::vector<std::int32_t> base(nSymbols);
        for (int s = 0; s < nSymbols; ++s) base[s] = s;
        std::vector<ValueDecodeEntry> dec(nStates);
        buildValueDecoder(nStates, nSymbols, freq.data(), extra.data(), base.data(), dec.data());
        BackwardBitReader r;
        const std::uint8_t* sectionStart = buf.data() + 8;
        ASSERT_TRUE(r.init(sectionStart + w.size(), buf.data(), bits));
        std::uint32_t s = static_cast<std::uint32_t>(state);
        for (std::size_t i = 0; i < symbols.size(); ++i) {
            ASSERT_TRUE(r.refill());
            const ValueDecodeEntry& e = dec[s];
            ASSERT_EQ(e.base, symbols[i]) << "at " << i;
            s = e.delta + r.read(e.totalBits);
        }
        EXPECT_EQ(s, 0u); // encoding started from state 0
        EXPECT_TRUE(r.consumedWithin(sectionStart));
    }
}

} // namespace
} // namespace qv::lzfse::detail
