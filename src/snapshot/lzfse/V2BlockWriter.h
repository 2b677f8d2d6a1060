#pragma once

// Collects (L, M, D) triples and their literals for one LZFSE block and writes
// the block in v2 form with FSE-coded literal and L/M/D sections.

#include "snapshot/lzfse/Format.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace qv::lzfse::detail {

class V2BlockWriter {
public:
    // Capacity the reference encoder keeps per block: a few triples and
    // literals short of the decoder's limits.
    static constexpr std::uint32_t kTripleLimit = kMaxMatchesPerBlock - 8;
    static constexpr std::uint32_t kLiteralLimit = kMaxLiteralsPerBlock - 16;

    V2BlockWriter();

    bool empty() const { return triples_.empty(); }
    bool fits(std::size_t nTriples, std::size_t nLiterals) const {
        return triples_.size() + nTriples <= kTripleLimit && nLiterals_ + nLiterals <= kLiteralLimit;
    }

    // The caller keeps within fits(); l <= 315, m <= 2359, 1 <= d <= 262139.
    void add(const std::uint8_t* literals, std::uint32_t l, std::uint32_t m, std::uint32_t d) {
        std::memcpy(literals_.data() + nLiterals_, literals, l);
        nLiterals_ += l;
        triples_.push_back(Triple{l, m, d});
    }

    // Appends the block to `out` and starts a new one.
    void flush(std::vector<std::uint8_t>& out);

private:
    struct Triple {
        std::uint32_t l, m, d;
    };
    std::vector<Triple> triples_;
    std::vector<std::uint8_t> literals_;
    std::uint32_t nLiterals_ = 0;
    std::vector<std::uint8_t> literalSection_;
    std::vector<std::uint8_t> lmdSection_;
};

} // namespace qv::lzfse::detail
