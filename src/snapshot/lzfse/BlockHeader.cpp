#include "snapshot/lzfse/BlockHeader.h"

#include <algorithm>
#include <cstring>

namespace qv::lzfse::detail {

namespace {

void gatherFrequencies(const std::uint16_t* all, LzfseBlockHeader& h) {
    std::memcpy(h.lFreq, all, sizeof h.lFreq);
    std::memcpy(h.mFreq, all + kLSymbols, sizeof h.mFreq);
    std::memcpy(h.dFreq, all + kLSymbols + kMSymbols, sizeof h.dFreq);
    std::memcpy(h.literalFreq, all + kLSymbols + kMSymbols + kDSymbols, sizeof h.literalFreq);
}

std::uint32_t bits(std::uint64_t w, int lo, int width) {
    return static_cast<std::uint32_t>((w >> lo) & ((std::uint64_t{1} << width) - 1));
}

} // namespace

bool decodeFrequencies(const std::uint8_t* p, std::size_t size, std::uint16_t* values) {
    const std::uint64_t totalBits = std::uint64_t{size} * 8;
    std::uint64_t pos = 0;
    for (int i = 0; i < kFrequencyCount; ++i) {
        // Peek 14 bits (the longest code), zero-filled past the end.
        std::uint32_t b = 0;
        const std::size_t byte = static_cast<std::size_t>(pos >> 3);
        for (std::size_t j = 0; j < 3 && byte + j < size; ++j) b |= std::uint32_t{p[byte + j]} << (8 * j);
        b >>= pos & 7;
        int len;
        std::uint32_t v;
        if ((b & 1) == 0) {
            len = 2;
            v = (b >> 1) & 1;
        } else if ((b & 3) == 1) {
            len = 3;
            v = 2 + ((b >> 2) & 1);
        } else if ((b & 7) == 3) {
            len = 5;
            v = 4 + ((b >> 3) & 3);
        } else if ((b & 15) == 7) {
            len = 8;
            v = 8 + ((b >> 4) & 15);
        } else {
            len = 14;
            v = 24 + ((b >> 4) & 1023);
        }
        if (pos + len > totalBits) return false;
        pos += len;
        values[i] = static_cast<std::uint16_t>(v);
    }
    return totalBits - pos < 8;
}

void encodeFrequencies(const std::uint16_t* values, std::vector<std::uint8_t>& out) {
    std::uint64_t acc = 0;
    int n = 0;
    for (int i = 0; i < kFrequencyCount; ++i) {
        const std::uint32_t v = values[i];
        std::uint32_t code;
        int len;
        if (v < 2) {
            len = 2;
            code = v << 1;
        } else if (v < 4) {
            len = 3;
            code = 1 | ((v - 2) << 2);
        } else if (v < 8) {
            len = 5;
            code = 3 | ((v - 4) << 3);
        } else if (v < 24) {
            len = 8;
            code = 7 | ((v - 8) << 4);
        } else {
            len = 14;
            code = 15 | ((v - 24) << 4);
        }
        acc |= std::uint64_t{code} << n;
        n += len;
        while (n >= 8) {
            out.push_back(static_cast<std::uint8_t>(acc));
            acc >>= 8;
            n -= 8;
        }
    }
    if (n > 0) out.push_back(static_cast<std::uint8_t>(acc));
}

const char* parseV1Header(const std::uint8_t* p, std::size_t avail, LzfseBlockHeader& h) {
    if (avail < kV1HeaderSize) return "truncated LZFSE v1 block header";
    h.nRawBytes = load32(p + 4);
    // p + 8 holds the combined payload size, which the two section sizes make redundant.
    h.nLiterals = load32(p + 12);
    h.nMatches = load32(p + 16);
    h.nLiteralPayloadBytes = load32(p + 20);
    h.nLmdPayloadBytes = load32(p + 24);
    h.literalBits = static_cast<std::int32_t>(load32(p + 28));
    for (int i = 0; i < 4; ++i) h.literalState[i] = load16(p + 32 + 2 * i);
    h.lmdBits = static_cast<std::int32_t>(load32(p + 40));
    h.lState = load16(p + 44);
    h.mState = load16(p + 46);
    h.dState = load16(p + 48);
    std::uint16_t all[kFrequencyCount];
    for (int i = 0; i < kFrequencyCount; ++i) all[i] = load16(p + 50 + 2 * i);
    gatherFrequencies(all, h);
    h.headerSize = kV1HeaderSize;
    if (h.literalBits < -8 || h.literalBits > 0 || h.lmdBits < -8 || h.lmdBits > 0)
        return "LZFSE block bit count out of range";
    return nullptr;
}

const char* parseV2Header(const std::uint8_t* p, std::size_t avail, LzfseBlockHeader& h) {
    if (avail < kV2FixedHeaderSize) return "truncated LZFSE v2 block header";
    h.nRawBytes = load32(p + 4);
    const std::uint64_t w0 = load64(p + 8);
    const std::uint64_t w1 = load64(p + 16);
    const std::uint64_t w2 = load64(p + 24);
    h.nLiterals = bits(w0, 0, 20);
    h.nLiteralPayloadBytes = bits(w0, 20, 20);
    h.nMatches = bits(w0, 40, 20);
    h.literalBits = static_cast<std::int32_t>(bits(w0, 60, 3)) - 7;
    for (int i = 0; i < 4; ++i) h.literalState[i] = bits(w1, 10 * i, 10);
    h.nLmdPayloadBytes = bits(w1, 40, 20);
    h.lmdBits = static_cast<std::int32_t>(bits(w1, 60, 3)) - 7;
    const std::uint32_t headerSize = bits(w2, 0, 32);
    h.lState = bits(w2, 32, 10);
    h.mState = bits(w2, 42, 10);
    h.dState = bits(w2, 52, 10);
    if (headerSize < kV2FixedHeaderSize) return "LZFSE v2 header size too small";
    if (headerSize > avail) return "truncated LZFSE v2 block header";
    h.headerSize = headerSize;
    std::uint16_t all[kFrequencyCount] = {};
    // A header without tables leaves every frequency at zero; only an empty
    // block can be decoded from that, which the payload checks enforce.
    if (headerSize > kV2FixedHeaderSize &&
        !decodeFrequencies(p + kV2FixedHeaderSize, headerSize - kV2FixedHeaderSize, all))
        return "malformed LZFSE v2 frequency tables";
    gatherFrequencies(all, h);
    return nullptr;
}

void writeV2Header(const LzfseBlockHeader& h, std::vector<std::uint8_t>& out) {
    std::uint16_t all[kFrequencyCount];
    std::memcpy(all, h.lFreq, sizeof h.lFreq);
    std::memcpy(all + kLSymbols, h.mFreq, sizeof h.mFreq);
    std::memcpy(all + kLSymbols + kMSymbols, h.dFreq, sizeof h.dFreq);
    std::memcpy(all + kLSymbols + kMSymbols + kDSymbols, h.literalFreq, sizeof h.literalFreq);

    const std::size_t start = out.size();
    out.resize(start + kV2FixedHeaderSize);
    encodeFrequencies(all, out);
    const std::uint64_t headerSize = out.size() - start;

    const std::uint64_t w0 = std::uint64_t{h.nLiterals} | (std::uint64_t{h.nLiteralPayloadBytes} << 20) |
                             (std::uint64_t{h.nMatches} << 40) |
                             (static_cast<std::uint64_t>(h.literalBits + 7) << 60);
    const std::uint64_t w1 = std::uint64_t{h.literalState[0]} | (std::uint64_t{h.literalState[1]} << 10) |
                             (std::uint64_t{h.literalState[2]} << 20) |
                             (std::uint64_t{h.literalState[3]} << 30) |
                             (std::uint64_t{h.nLmdPayloadBytes} << 40) |
                             (static_cast<std::uint64_t>(h.lmdBits + 7) << 60);
    const std::uint64_t w2 = headerSize | (std::uint64_t{h.lState} << 32) |
                             (std::uint64_t{h.mState} << 42) | (std::uint64_t{h.dState} << 52);
    std::uint8_t* q = out.data() + start;
    store32(q, kMagicV2);
    store32(q + 4, h.nRawBytes);
    store64(q + 8, w0);
    store64(q + 16, w1);
    store64(q + 24, w2);
}

} // namespace qv::lzfse::detail
