#pragma once

// LZFSE front end: a hash-chain-free match finder with 4 candidates per hash
// line, turning the input into (L, M, D) triples for V2BlockWriter. Its
// choices (lazy "pending" match, thresholds, tie breaks) mirror the reference
// encoder so that the compressed output is the same.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace qv::lzfse::detail {

// Inputs are handled in independent windows of at most 1 GiB so positions fit
// 32 bits; matches never cross a window boundary.
inline constexpr std::size_t kLzfseWindow = std::size_t{1} << 30;

// The blocks of one window whose bytes arrive in pieces. Each call goes as
// far as the bytes given allow without knowing the rest, so the blocks come
// out as encodeLzfseBlocks makes them for the whole window.
class LzfseWindowEncoder {
public:
    explicit LzfseWindowEncoder(std::vector<std::uint8_t>& out);
    ~LzfseWindowEncoder();
    LzfseWindowEncoder(const LzfseWindowEncoder&) = delete;
    LzfseWindowEncoder& operator=(const LzfseWindowEncoder&) = delete;

    // `src` holds the window's first `available` bytes (it may have moved
    // since the last call); with `final` they are the whole window, and the
    // last block is written.
    void advance(const std::uint8_t* src, std::size_t available, bool final);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Appends bvx2 blocks for `in` (without the end-of-stream block) to `out`.
void encodeLzfseBlocks(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out);

} // namespace qv::lzfse::detail
