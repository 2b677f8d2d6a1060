#pragma once

// Copy loops used by both decoders. They trade a few bytes of overwrite past
// the end of the destination (covered by OutputBuffer::kSlack) for wide moves.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qv::lzfse::detail {

// Copies n bytes, possibly writing up to 15 bytes past dst + n and reading up
// to 15 bytes past src + n; both ranges must allow that.
inline void copyWide(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    std::uint8_t* const end = dst + n;
    do {
        std::memcpy(dst, src, 16);
        dst += 16;
        src += 16;
    } while (dst < end);
}

// Appends m bytes copied from d bytes back, with the semantics of a forward
// byte-by-byte copy: when d < m the copied bytes repeat with period d.
// Requires 1 <= d <= bytes already before dst; may write up to 15 bytes past dst + m.
inline void copyMatch(std::uint8_t* dst, std::size_t d, std::size_t m) {
    if (m == 0) return;
    std::uint8_t* const end = dst + m;
    if (d >= 16) {
        const std::uint8_t* src = dst - d;
        do {
            std::memcpy(dst, src, 16);
            dst += 16;
            src += 16;
        } while (dst < end);
        return;
    }
    // Short distances: a period of d is also a period of any multiple of d, so
    // after the first (step - d) bytes have been copied singly, 8-byte moves
    // from `step` back never read a byte that is still being written.
    std::size_t step = d;
    while (step < 8) step += d;
    const std::size_t head = step - d < m ? step - d : m;
    for (std::size_t i = 0; i < head; ++i) dst[i] = dst[i - d];
    dst += head;
    while (dst < end) {
        std::memcpy(dst, dst - step, 8);
        dst += 8;
    }
}

} // namespace qv::lzfse::detail
