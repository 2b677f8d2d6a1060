#pragma once

#include "snapshot/lzfse/BlockHeader.h"
#include "snapshot/lzfse/Fse.h"
#include "snapshot/lzfse/OutputBuffer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qv::lzfse::detail {

// Scratch space reused across the LZFSE blocks of one stream.
struct LzfseDecodeWorkspace {
    LiteralDecodeEntry literalTable[kLiteralStates];
    ValueDecodeEntry lTable[kLStates];
    ValueDecodeEntry mTable[kMStates];
    ValueDecodeEntry dTable[kDStates];
    // Literals plus room for the wide copies to over-read.
    std::uint8_t literals[kMaxLiteralsPerBlock + 64];
};

// Decodes the payload of a parsed v1/v2 block. `block` points at the magic; the
// caller has checked that header and both sections lie inside the input and
// that h.nRawBytes fits the output limit.
const char* decodeLzfseBlock(const std::uint8_t* block, const LzfseBlockHeader& h, LzfseDecodeWorkspace& ws,
                             OutputBuffer& out);

// Output the block can really produce: its declared size, capped by what its
// triples and compressed size could expand to.
std::size_t plausibleLzfseOutput(const LzfseBlockHeader& h);

} // namespace qv::lzfse::detail
