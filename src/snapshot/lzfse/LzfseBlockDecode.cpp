#include "snapshot/lzfse/LzfseBlockDecode.h"

#include "snapshot/lzfse/BitReader.h"
#include "snapshot/lzfse/Copy.h"

namespace qv::lzfse::detail {

namespace {

// One triple yields at most 315 literals and a 2359-byte match.
constexpr std::size_t kMaxTripleOutput = kMaxL + kMaxM;
// Up-front reservation per compressed byte (plus a fixed allowance), enough
// for ordinary data without trusting the header of a hostile block.
constexpr std::size_t kExpectedRatio = 64;
constexpr std::size_t kExpectedSlack = 64 * 1024;

// Freshly built tables cover every state only when the frequencies sum to
// the state count exactly; a table that is never consulted may be anything
// within range (an empty block may omit its tables entirely).
const char* checkTables(const LzfseBlockHeader& h) {
    const std::uint32_t lit = frequencySum(h.literalFreq, kLiteralSymbols);
    const std::uint32_t l = frequencySum(h.lFreq, kLSymbols);
    const std::uint32_t m = frequencySum(h.mFreq, kMSymbols);
    const std::uint32_t d = frequencySum(h.dFreq, kDSymbols);
    if (lit > kLiteralStates || l > kLStates || m > kMStates || d > kDStates)
        return "LZFSE frequency table exceeds its state count";
    if (h.nLiterals != 0 && lit != kLiteralStates)
        return "LZFSE literal frequencies do not cover every state";
    if (h.nMatches != 0 && (l != kLStates || m != kMStates || d != kDStates))
        return "LZFSE L/M/D frequencies do not cover every state";
    return nullptr;
}

inline std::int32_t decodeValue(const ValueDecodeEntry* table, std::uint32_t& state,
                                BackwardBitReader& r) {
    const ValueDecodeEntry e = table[state];
    const std::uint32_t v = r.read(e.totalBits);
    state = e.delta + (v >> e.extraBits);
    return e.base + static_cast<std::int32_t>(v & ((1u << e.extraBits) - 1));
}

} // namespace

std::size_t plausibleLzfseOutput(const LzfseBlockHeader& h) {
    // n_raw_bytes is only believed as far as the block could back it up;
    // extremely compressible blocks grow the buffer as they go instead.
    const std::size_t blockBytes = h.headerSize + std::size_t{h.nLiteralPayloadBytes} + h.nLmdPayloadBytes;
    std::size_t plausible = std::size_t{h.nMatches} * kMaxTripleOutput;
    if (plausible > blockBytes * kExpectedRatio + kExpectedSlack)
        plausible = blockBytes * kExpectedRatio + kExpectedSlack;
    return plausible < h.nRawBytes ? plausible : h.nRawBytes;
}

const char* decodeLzfseBlock(const std::uint8_t* block, const LzfseBlockHeader& h, LzfseDecodeWorkspace& ws,
                             OutputBuffer& out) {
    if (h.nLiterals > kMaxLiteralsPerBlock) return "too many literals in LZFSE block";
    if (h.nMatches > kMaxMatchesPerBlock) return "too many matches in LZFSE block";
    for (std::uint32_t s : h.literalState)
        if (s >= static_cast<std::uint32_t>(kLiteralStates)) return "LZFSE literal state out of range";
    if (h.lState >= kLStates || h.mState >= kMStates || h.dState >= kDStates)
        return "LZFSE L/M/D state out of range";
    if (const char* err = checkTables(h)) return err;

    const std::uint8_t* const literalStart = block + h.headerSize;
    const std::uint8_t* const lmdStart = literalStart + h.nLiteralPayloadBytes;
    const std::uint8_t* const lmdEnd = lmdStart + h.nLmdPayloadBytes;

    // Literals. The four interleaved states share one bit stream; a section
    // holding a single repeated byte may be empty, in which case the reader's
    // first load lies in the header, which is why it may look behind the section.
    buildLiteralDecoder(h.literalFreq, ws.literalTable);
    BackwardBitReader r;
    if (!r.init(lmdStart, block, h.literalBits)) return "malformed LZFSE literal section end";
    // Encoders pad to a multiple of 4; a count that is not is decoded the way
    // the reference does, a whole group at a time.
    const std::uint32_t nLiterals = (h.nLiterals + 3) & ~3u;
    {
        const LiteralDecodeEntry* const t = ws.literalTable;
        std::uint32_t s0 = h.literalState[0], s1 = h.literalState[1];
        std::uint32_t s2 = h.literalState[2], s3 = h.literalState[3];
        std::uint8_t* lit = ws.literals;
        for (std::uint32_t i = 0; i < nLiterals; i += 4) {
            if (!r.refill()) return "LZFSE literal section overrun";
            LiteralDecodeEntry e0 = t[s0];
            lit[i] = e0.symbol;
            s0 = e0.delta + r.read(e0.nbits);
            LiteralDecodeEntry e1 = t[s1];
            lit[i + 1] = e1.symbol;
            s1 = e1.delta + r.read(e1.nbits);
            LiteralDecodeEntry e2 = t[s2];
            lit[i + 2] = e2.symbol;
            s2 = e2.delta + r.read(e2.nbits);
            LiteralDecodeEntry e3 = t[s3];
            lit[i + 3] = e3.symbol;
            s3 = e3.delta + r.read(e3.nbits);
        }
        if (!r.consumedWithin(literalStart)) return "LZFSE literal section overrun";
    }

    // L/M/D triples. The section starts with 8 bytes of padding, so its
    // reader's first load never leaves the section.
    if (h.nLmdPayloadBytes < (h.lmdBits == 0 ? 7u : 8u)) return "LZFSE L/M/D section too short";
    buildValueDecoder(kLStates, kLSymbols, h.lFreq, kLExtraBits, kLBase, ws.lTable);
    buildValueDecoder(kMStates, kMSymbols, h.mFreq, kMExtraBits, kMBase, ws.mTable);
    buildValueDecoder(kDStates, kDSymbols, h.dFreq, kD.extra, kD.base, ws.dTable);
    // Refills may prefetch (never consume) bytes before the section.
    BackwardBitReader lmd;
    if (!lmd.init(lmdEnd, block, h.lmdBits)) return "malformed LZFSE L/M/D section end";

    const std::size_t start = out.size();
    const std::size_t blockEnd = start + h.nRawBytes;
    out.expect(plausibleLzfseOutput(h));
    std::uint8_t* base = out.data();
    std::size_t capEnd = out.capacity();
    std::size_t pos = start;

    const std::uint8_t* litp = ws.literals;
    const std::uint8_t* const litEnd = ws.literals + nLiterals;
    std::uint32_t lState = h.lState, mState = h.mState, dState = h.dState;
    std::size_t dist = 0; // no distance yet in this block
    for (std::uint32_t i = 0; i < h.nMatches; ++i) {
        if (!lmd.refill()) return "LZFSE L/M/D section overrun";
        const std::size_t l = static_cast<std::size_t>(decodeValue(ws.lTable, lState, lmd));
        const std::size_t m = static_cast<std::size_t>(decodeValue(ws.mTable, mState, lmd));
        const std::size_t d = static_cast<std::size_t>(decodeValue(ws.dTable, dState, lmd));
        if (d != 0) {
            dist = d;
        } else if (dist == 0) {
            return "LZFSE repeated distance before any distance";
        }
        if (l > static_cast<std::size_t>(litEnd - litp)) return "LZFSE literal lengths exceed the literals";
        if (dist > pos + l) return "LZFSE match distance out of range";
        if (l + m > blockEnd - pos) return "LZFSE block output exceeds its declared size";
        if (l + m > capEnd - pos) {
            out.setSize(pos);
            if (!out.reserve(l + m)) return "output exceeds the size limit";
            base = out.data();
            capEnd = out.capacity();
        }
        std::uint8_t* dst = base + pos;
        if (l != 0) {
            copyWide(dst, litp, l);
            litp += l;
            dst += l;
        }
        copyMatch(dst, dist, m);
        pos += l + m;
    }
    if (!lmd.consumedWithin(lmdStart)) return "LZFSE L/M/D section overrun";
    if (pos != blockEnd) return "LZFSE block output differs from its declared size";
    out.setSize(pos);
    return nullptr;
}

} // namespace qv::lzfse::detail
