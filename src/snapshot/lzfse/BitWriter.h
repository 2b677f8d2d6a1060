#pragma once

// Forward bit writer for the encoder's literal and L/M/D sections. Values are
// stacked upwards from bit 0; the decoder reads them back from the top.

#include "snapshot/lzfse/Format.h"

#include <cstddef>
#include <cstdint>

namespace qv::lzfse::detail {

class BitWriter {
public:
    // `dst` must have room for every byte written plus 8 bytes of slack.
    explicit BitWriter(std::uint8_t* dst) : begin_(dst), ptr_(dst) {}

    // v < 2^n. At most 56 bits may be put between flushes.
    void put(int n, std::uint32_t v) {
        acc_ |= std::uint64_t{v} << count_;
        count_ += n;
    }

    void flush() {
        store64(ptr_, acc_);
        const int whole = count_ & ~7;
        ptr_ += whole >> 3;
        acc_ = whole == 64 ? 0 : acc_ >> whole;
        count_ &= 7;
    }

    // Writes the final partial byte. Returns the section's bit count field:
    // minus the number of unused high bits of the last byte.
    int finish() {
        flush();
        if (count_ == 0) return 0;
        *ptr_++ = static_cast<std::uint8_t>(acc_);
        const int bits = count_ - 8;
        acc_ = 0;
        count_ = 0;
        return bits;
    }

    std::size_t size() const { return static_cast<std::size_t>(ptr_ - begin_); }

private:
    std::uint8_t* begin_;
    std::uint8_t* ptr_;
    std::uint64_t acc_ = 0;
    int count_ = 0;
};

} // namespace qv::lzfse::detail
