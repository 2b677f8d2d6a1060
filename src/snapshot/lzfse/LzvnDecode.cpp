#include "snapshot/lzfse/LzvnDecode.h"

#include "snapshot/lzfse/Copy.h"
#include "snapshot/lzfse/Format.h"

#include <array>
#include <cstring>

namespace qv::lzfse::detail {

namespace {

enum class Op : std::uint8_t {
    SmallDistance,
    MediumDistance,
    LargeDistance,
    PreviousDistance,
    SmallMatch,
    LargeMatch,
    SmallLiteral,
    LargeLiteral,
    Nop,
    EndOfStream,
    Undefined,
};

constexpr Op classify(unsigned b) {
    if (b >= 0xA0 && b <= 0xBF) return Op::MediumDistance;
    if ((b >= 0x70 && b <= 0x7F) || (b >= 0xD0 && b <= 0xDF)) return Op::Undefined;
    if (b == 0xE0) return Op::LargeLiteral;
    if (b > 0xE0 && b <= 0xEF) return Op::SmallLiteral;
    if (b == 0xF0) return Op::LargeMatch;
    if (b > 0xF0) return Op::SmallMatch;
    if ((b & 7) == 7) return Op::LargeDistance;
    if ((b & 7) == 6) {
        if ((b >> 6) != 0) return Op::PreviousDistance;
        if (b == 0x06) return Op::EndOfStream;
        if (b == 0x0E || b == 0x16) return Op::Nop;
        return Op::Undefined;
    }
    return Op::SmallDistance;
}

constexpr std::array<Op, 256> kOps = [] {
    std::array<Op, 256> t{};
    for (unsigned b = 0; b < 256; ++b) t[b] = classify(b);
    return t;
}();

// LM, the densest opcode, turns 2 payload bytes into 271 output bytes.
constexpr std::size_t kMaxExpansion = 136;

} // namespace

std::size_t plausibleLzvnOutput(std::uint32_t nRawBytes, std::size_t payloadSize) {
    const std::size_t bound = payloadSize * kMaxExpansion;
    return bound < nRawBytes ? bound : nRawBytes;
}

const char* decodeLzvnBlock(const std::uint8_t* payload, std::size_t payloadSize,
                            std::uint32_t nRawBytes, OutputBuffer& out) {
    // An empty LZVN block is never written; refusing it keeps the loop simpler.
    if (nRawBytes == 0) return "LZVN block declares no output";
    const std::size_t start = out.size();
    const std::size_t blockEnd = start + nRawBytes;
    out.expect(plausibleLzvnOutput(nRawBytes, payloadSize));
    std::uint8_t* base = out.data();
    std::size_t capEnd = out.capacity();
    std::size_t pos = start;

    const std::uint8_t* p = payload;
    const std::uint8_t* const end = payload + payloadSize;
    std::size_t d = 0; // no distance yet in this block

    for (;;) {
        const std::size_t rem = static_cast<std::size_t>(end - p);
        if (rem == 0) return "LZVN payload ends without an end marker";
        const unsigned op = p[0];
        std::size_t opBytes, nLit = 0, nMatch = 0;
        bool setsDistance = false;
        switch (kOps[op]) {
        case Op::EndOfStream:
            if (rem < 8) return "truncated LZVN end marker";
            if (rem != 8) return "LZVN payload continues after its end marker";
            if (pos != blockEnd) return "LZVN block output differs from its declared size";
            out.setSize(pos);
            return nullptr;
        case Op::Undefined:
            return "undefined LZVN opcode";
        case Op::Nop:
            if (rem < 2) return "truncated LZVN payload";
            ++p;
            continue;
        case Op::SmallDistance:
            opBytes = 2;
            nLit = op >> 6;
            nMatch = ((op >> 3) & 7) + 3;
            setsDistance = true;
            break;
        case Op::MediumDistance:
            opBytes = 3;
            nLit = (op >> 3) & 3;
            setsDistance = true;
            break;
        case Op::LargeDistance:
            opBytes = 3;
            nLit = op >> 6;
            nMatch = ((op >> 3) & 7) + 3;
            setsDistance = true;
            break;
        case Op::PreviousDistance:
            opBytes = 1;
            nLit = op >> 6;
            nMatch = ((op >> 3) & 7) + 3;
            break;
        case Op::SmallMatch:
            opBytes = 1;
            nMatch = op & 15;
            break;
        case Op::LargeMatch:
            opBytes = 2;
            if (rem <= opBytes) return "truncated LZVN payload";
            nMatch = std::size_t{p[1]} + 16;
            break;
        case Op::SmallLiteral:
            opBytes = 1;
            nLit = op & 15;
            break;
        case Op::LargeLiteral:
        default:
            opBytes = 2;
            if (rem <= opBytes) return "truncated LZVN payload";
            nLit = std::size_t{p[1]} + 16;
            break;
        }
        // Every opcode but the end marker must leave at least one byte behind it.
        if (rem <= opBytes + nLit) return "truncated LZVN payload";
        if (setsDistance) {
            if (kOps[op] == Op::SmallDistance) {
                d = (std::size_t{op & 7u} << 8) | p[1];
            } else if (kOps[op] == Op::MediumDistance) {
                const std::uint16_t w = load16(p + 1);
                nMatch = ((std::size_t{op & 7u} << 2) | (w & 3u)) + 3;
                d = w >> 2;
            } else {
                d = load16(p + 1);
            }
        }
        if (nLit + nMatch > blockEnd - pos) return "LZVN block output exceeds its declared size";
        if (nLit + nMatch > capEnd - pos) {
            out.setSize(pos);
            if (!out.reserve(nLit + nMatch)) return "output exceeds the size limit";
            base = out.data();
            capEnd = out.capacity();
        }
        const std::uint8_t* lit = p + opBytes;
        if (nLit != 0) {
            if (static_cast<std::size_t>(end - lit) >= nLit + 16)
                copyWide(base + pos, lit, nLit);
            else
                std::memcpy(base + pos, lit, nLit);
            pos += nLit;
        }
        if (nMatch != 0) {
            if (d == 0 || d > pos) return "LZVN match distance out of range";
            copyMatch(base + pos, d, nMatch);
            pos += nMatch;
        }
        p = lit + nLit;
    }
}

} // namespace qv::lzfse::detail
