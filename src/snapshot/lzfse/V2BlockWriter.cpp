#include "snapshot/lzfse/V2BlockWriter.h"

#include "snapshot/lzfse/BitWriter.h"
#include "snapshot/lzfse/BlockHeader.h"
#include "snapshot/lzfse/Fse.h"

#include <bit>

namespace qv::lzfse::detail {

namespace {

inline int lSymbol(std::uint32_t v) {
    if (v < 16) return static_cast<int>(v);
    return v < 20 ? 16 : v < 28 ? 17 : v < 60 ? 18 : 19;
}

inline int mSymbol(std::uint32_t v) {
    if (v < 16) return static_cast<int>(v);
    return v < 24 ? 16 : v < 56 ? 17 : v < 312 ? 18 : 19;
}

// Inverse of base = ((4 + r) << g) - 4.
inline int dSymbol(std::uint32_t d) {
    const std::uint32_t x = d + 4;
    const int g = 29 - std::countl_zero(x); // floor(log2 x) - 2
    return 4 * g + static_cast<int>((x >> g) - 4);
}

inline void encodeSymbol(BitWriter& w, std::int32_t& state, const EncodeEntry& e) {
    int nb;
    std::int32_t delta;
    if (state >= e.s0) {
        nb = e.k;
        delta = e.delta0;
    } else {
        nb = e.k - 1;
        delta = e.delta1;
    }
    w.put(nb, static_cast<std::uint32_t>(state) & ((1u << nb) - 1));
    state = delta + (state >> nb);
}

} // namespace

V2BlockWriter::V2BlockWriter() {
    triples_.reserve(kTripleLimit);
    literals_.resize(kMaxLiteralsPerBlock + 16);
    // 10 bits per literal and 54 per triple at most, plus writer slack.
    literalSection_.resize(kMaxLiteralsPerBlock * 10 / 8 + 64);
    lmdSection_.resize(kMaxMatchesPerBlock * 54 / 8 + 64);
}

void V2BlockWriter::flush(std::vector<std::uint8_t>& out) {
    if (triples_.empty()) return;
    LzfseBlockHeader h;

    while (nLiterals_ % 4 != 0) literals_[nLiterals_++] = 0;
    h.nLiterals = nLiterals_;
    h.nMatches = static_cast<std::uint32_t>(triples_.size());

    // Repeated distances are coded as 0; the first triple of a block always
    // carries its distance because no distance is 0.
    std::uint32_t counts[kLiteralSymbols] = {};
    std::uint32_t lCounts[kLSymbols] = {}, mCounts[kMSymbols] = {}, dCounts[kDSymbols] = {};
    std::uint32_t prev = 0;
    std::uint64_t nRaw = 0;
    for (Triple& t : triples_) {
        nRaw += t.l + t.m;
        if (t.d == prev) {
            t.d = 0;
        } else {
            prev = t.d;
        }
        ++lCounts[lSymbol(t.l)];
        ++mCounts[mSymbol(t.m)];
        ++dCounts[dSymbol(t.d)];
    }
    h.nRawBytes = static_cast<std::uint32_t>(nRaw);
    for (std::uint32_t i = 0; i < nLiterals_; ++i) ++counts[literals_[i]];

    normalizeCounts(lCounts, kLSymbols, kLStates, h.lFreq);
    normalizeCounts(mCounts, kMSymbols, kMStates, h.mFreq);
    normalizeCounts(dCounts, kDSymbols, kDStates, h.dFreq);
    normalizeCounts(counts, kLiteralSymbols, kLiteralStates, h.literalFreq);

    EncodeEntry litEnc[kLiteralSymbols], lEnc[kLSymbols], mEnc[kMSymbols], dEnc[kDSymbols];
    buildEncoder(kLiteralStates, kLiteralSymbols, h.literalFreq, litEnc);
    buildEncoder(kLStates, kLSymbols, h.lFreq, lEnc);
    buildEncoder(kMStates, kMSymbols, h.mFreq, mEnc);
    buildEncoder(kDStates, kDSymbols, h.dFreq, dEnc);

    // FSE decodes in reverse, so both sections are written last item first.
    {
        BitWriter w(literalSection_.data());
        std::int32_t s[4] = {0, 0, 0, 0};
        for (std::uint32_t i = nLiterals_; i != 0; i -= 4) {
            encodeSymbol(w, s[3], litEnc[literals_[i - 1]]);
            encodeSymbol(w, s[2], litEnc[literals_[i - 2]]);
            encodeSymbol(w, s[1], litEnc[literals_[i - 3]]);
            encodeSymbol(w, s[0], litEnc[literals_[i - 4]]);
            w.flush();
        }
        h.literalBits = w.finish();
        h.nLiteralPayloadBytes = static_cast<std::uint32_t>(w.size());
        for (int i = 0; i < 4; ++i) h.literalState[i] = static_cast<std::uint32_t>(s[i]);
    }
    {
        // Eight zero bytes lead the section so the decoder's first load and
        // its prefetches stay inside it.
        std::memset(lmdSection_.data(), 0, 8);
        BitWriter w(lmdSection_.data() + 8);
        std::int32_t ls = 0, ms = 0, ds = 0;
        for (std::size_t i = triples_.size(); i-- != 0;) {
            const Triple& t = triples_[i];
            const int lsym = lSymbol(t.l), msym = mSymbol(t.m), dsym = dSymbol(t.d);
            w.put(kD.extra[dsym], t.d - static_cast<std::uint32_t>(kD.base[dsym]));
            encodeSymbol(w, ds, dEnc[dsym]);
            w.put(kMExtraBits[msym], t.m - static_cast<std::uint32_t>(kMBase[msym]));
            encodeSymbol(w, ms, mEnc[msym]);
            w.put(kLExtraBits[lsym], t.l - static_cast<std::uint32_t>(kLBase[lsym]));
            encodeSymbol(w, ls, lEnc[lsym]);
            w.flush();
        }
        h.lmdBits = w.finish();
        h.nLmdPayloadBytes = static_cast<std::uint32_t>(w.size() + 8);
        h.lState = static_cast<std::uint32_t>(ls);
        h.mState = static_cast<std::uint32_t>(ms);
        h.dState = static_cast<std::uint32_t>(ds);
    }

    writeV2Header(h, out);
    out.insert(out.end(), literalSection_.data(), literalSection_.data() + h.nLiteralPayloadBytes);
    out.insert(out.end(), lmdSection_.data(), lmdSection_.data() + h.nLmdPayloadBytes);

    triples_.clear();
    nLiterals_ = 0;
}

} // namespace qv::lzfse::detail
