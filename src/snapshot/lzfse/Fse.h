#pragma once

// Finite-state entropy tables. Every symbol owns one contiguous run of
// states (no spreading), which is what lets the encoder and decoder tables be
// derived from the frequencies alone.

#include <cstdint>

namespace qv::lzfse::detail {

struct LiteralDecodeEntry {
    std::uint8_t nbits;
    std::uint8_t symbol;
    std::uint16_t delta;
};

// Decoder entry for L, M and D: state bits and extra bits are read in one go,
// state bits on top.
struct ValueDecodeEntry {
    std::uint8_t totalBits;
    std::uint8_t extraBits;
    std::uint16_t delta;
    std::int32_t base;
};

struct EncodeEntry {
    std::int16_t s0;     // states >= s0 emit k bits, the others k - 1
    std::int16_t k;
    std::int16_t delta0;
    std::int16_t delta1;
};

// Sum of the frequencies; tables are only usable when it equals the state count.
std::uint32_t frequencySum(const std::uint16_t* freq, int nSymbols);

// Fill decoder tables. The caller has checked frequencySum(freq) == nStates.
void buildLiteralDecoder(const std::uint16_t* freq, LiteralDecodeEntry* table);
void buildValueDecoder(int nStates, int nSymbols, const std::uint16_t* freq,
                       const std::uint8_t* extraBits, const std::int32_t* base,
                       ValueDecodeEntry* table);

void buildEncoder(int nStates, int nSymbols, const std::uint16_t* freq, EncodeEntry* table);

// Scales occurrence counts to frequencies summing to exactly nStates, keeping
// every occurring symbol at 1 or more. The rounding and the way an overshoot
// is shaved off follow the reference encoder, so tables come out identical.
void normalizeCounts(const std::uint32_t* counts, int nSymbols, int nStates, std::uint16_t* freq);

} // namespace qv::lzfse::detail
