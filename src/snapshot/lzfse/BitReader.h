#pragma once

// Backward bit reader for the literal and L/M/D sections. The encoder writes
// these sections forwards, so the decoder starts at the section end and walks
// towards its start.
//
// Invariant: the unread bits are exactly the low `count` bits of the 8 bytes
// at `ptr` (little-endian), so a refill is a single 8-byte load.

#include "snapshot/lzfse/Format.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qv::lzfse::detail {

class BackwardBitReader {
public:
    // `sectionEnd` is one past the last byte of the section, `lowest` the first
    // byte refills may touch. `bits` is the header's 0 or negative count of
    // padding bits in the last byte. Returns false for a malformed section end.
    bool init(const std::uint8_t* sectionEnd, const std::uint8_t* lowest, int bits) {
        lowest_ = lowest;
        if (bits == 0) {
            if (sectionEnd - lowest < 7) return false;
            ptr_ = sectionEnd - 7;
            acc_ = 0;
            std::memcpy(&acc_, ptr_, 7);
            count_ = 56;
            return true;
        }
        if (bits < -8 || bits > 0 || sectionEnd - lowest < 8) return false;
        ptr_ = sectionEnd - 8;
        acc_ = load64(ptr_);
        count_ = 64 + bits;
        // The padding above the last valid bit must be zero: anything else means
        // the stated bit count does not match the data.
        return (acc_ >> count_) == 0;
    }

    // Tops the reader up to at least 56 bits. False if that would need bytes
    // before `lowest`.
    bool refill() {
        if (count_ >= 56) return true;
        const int k = (63 - count_) >> 3;
        if (ptr_ - lowest_ < k) return false;
        ptr_ -= k;
        acc_ = load64(ptr_);
        count_ += k * 8;
        return true;
    }

    // n <= count; n may be 0.
    std::uint32_t read(int n) {
        count_ -= n;
        return static_cast<std::uint32_t>((acc_ >> count_) & ((std::uint64_t{1} << n) - 1));
    }

    // True while the bits consumed so far all lie at or above `sectionStart`.
    bool consumedWithin(const std::uint8_t* sectionStart) const {
        return (ptr_ - sectionStart) * 8 + count_ >= 0;
    }

private:
    std::uint64_t acc_ = 0;
    int count_ = 0;
    const std::uint8_t* ptr_ = nullptr;
    const std::uint8_t* lowest_ = nullptr;
};

} // namespace qv::lzfse::detail
