#pragma once

// LZFSE block headers. v1 stores every field plainly; v2 packs the same
// fields into three 64-bit words plus variable-length frequency tables.
// Both are parsed into one structure so the payload decoder sees no difference.

#include "snapshot/lzfse/Format.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::lzfse::detail {

struct LzfseBlockHeader {
    std::uint32_t nRawBytes = 0;
    std::uint32_t nLiterals = 0;
    std::uint32_t nMatches = 0;
    std::uint32_t nLiteralPayloadBytes = 0;
    std::uint32_t nLmdPayloadBytes = 0;
    std::int32_t literalBits = 0;
    std::int32_t lmdBits = 0;
    std::uint32_t literalState[4] = {};
    std::uint32_t lState = 0;
    std::uint32_t mState = 0;
    std::uint32_t dState = 0;
    std::uint16_t lFreq[kLSymbols] = {};
    std::uint16_t mFreq[kMSymbols] = {};
    std::uint16_t dFreq[kDSymbols] = {};
    std::uint16_t literalFreq[kLiteralSymbols] = {};
    std::size_t headerSize = 0; // bytes from the magic to the literal section
};

// Both return nullptr on success or a short reason. `avail` counts the bytes
// from the magic to the end of the input.
const char* parseV1Header(const std::uint8_t* p, std::size_t avail, LzfseBlockHeader& h);
const char* parseV2Header(const std::uint8_t* p, std::size_t avail, LzfseBlockHeader& h);

// Appends a complete v2 header (magic through coded frequency tables).
void writeV2Header(const LzfseBlockHeader& h, std::vector<std::uint8_t>& out);

// The variable-length code of the v2 frequency tables, in table order
// L, M, D, literals (360 values).
inline constexpr int kFrequencyCount = kLSymbols + kMSymbols + kDSymbols + kLiteralSymbols;
// Returns false unless exactly `size` bytes hold the 360 codes.
bool decodeFrequencies(const std::uint8_t* p, std::size_t size, std::uint16_t* values);
void encodeFrequencies(const std::uint16_t* values, std::vector<std::uint8_t>& out);

} // namespace qv::lzfse::detail
