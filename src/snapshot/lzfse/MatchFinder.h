#pragma once

// LZFSE front end: a hash-chain-free match finder with 4 candidates per hash
// line, turning the input into (L, M, D) triples for V2BlockWriter. Its
// choices (lazy "pending" match, thresholds, tie breaks) mirror the reference
// encoder so that the compressed output is the same.

#include <cstdint>
#include <span>
#include <vector>

namespace qv::lzfse::detail {

// Appends bvx2 blocks for `in` (without the end-of-stream block) to `out`.
// Inputs are handled in independent windows of at most 1 GiB so positions fit
// 32 bits; matches never cross a window boundary.
void encodeLzfseBlocks(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out);

} // namespace qv::lzfse::detail
