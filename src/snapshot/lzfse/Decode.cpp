// Stream driver: walks the blocks, checks each one's extent against the input
// before handing it to its decoder, and stops at the first end-of-stream block.

#include "snapshot/lzfse/Lzfse.h"

#include "snapshot/lzfse/BlockHeader.h"
#include "snapshot/lzfse/Format.h"
#include "snapshot/lzfse/LzfseBlockDecode.h"
#include "snapshot/lzfse/LzvnDecode.h"
#include "snapshot/lzfse/OutputBuffer.h"

#include <cstring>
#include <memory>

namespace qv::lzfse {

namespace {

using namespace detail;

const char* decodeStream(std::span<const std::uint8_t> in, OutputBuffer& out) {
    const std::uint8_t* const data = in.data();
    const std::size_t n = in.size();
    std::size_t p = 0;
    std::unique_ptr<LzfseDecodeWorkspace> ws;
    for (;;) {
        const std::size_t avail = n - p;
        if (avail < 4) return "truncated stream: no end-of-stream block";
        const std::uint8_t* const block = data + p;
        switch (load32(block)) {
        case kMagicEos:
            return nullptr;
        case kMagicRaw: {
            if (avail < kRawHeaderSize) return "truncated raw block header";
            const std::uint32_t nRaw = load32(block + 4);
            if (nRaw > avail - kRawHeaderSize) return "raw block runs past the end of the input";
            if (!out.reserve(nRaw)) return "output exceeds the size limit";
            if (nRaw != 0) std::memcpy(out.data() + out.size(), block + kRawHeaderSize, nRaw);
            out.setSize(out.size() + nRaw);
            p += kRawHeaderSize + nRaw;
            break;
        }
        case kMagicLzvn: {
            if (avail < kLzvnHeaderSize) return "truncated LZVN block header";
            const std::uint32_t nRaw = load32(block + 4);
            const std::uint32_t nPayload = load32(block + 8);
            if (nPayload > avail - kLzvnHeaderSize) return "LZVN block runs past the end of the input";
            if (nRaw > out.maxOutput() - out.size()) return "output exceeds the size limit";
            if (const char* err = decodeLzvnBlock(block + kLzvnHeaderSize, nPayload, nRaw, out)) return err;
            p += kLzvnHeaderSize + nPayload;
            break;
        }
        case kMagicV1:
        case kMagicV2: {
            LzfseBlockHeader h;
            const char* err = load32(block) == kMagicV1 ? parseV1Header(block, avail, h)
                                                        : parseV2Header(block, avail, h);
            if (err) return err;
            const std::uint64_t blockSize = std::uint64_t{h.headerSize} + h.nLiteralPayloadBytes +
                                            h.nLmdPayloadBytes;
            if (blockSize > avail) return "LZFSE block runs past the end of the input";
            if (h.nRawBytes > out.maxOutput() - out.size()) return "output exceeds the size limit";
            if (!ws) ws = std::make_unique<LzfseDecodeWorkspace>();
            if ((err = decodeLzfseBlock(block, h, *ws, out))) return err;
            p += static_cast<std::size_t>(blockSize);
            break;
        }
        default:
            return "unknown block magic";
        }
    }
}

} // namespace

bool decode(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out, std::string* error,
            std::size_t maxOutput) {
    OutputBuffer buffer(out, maxOutput);
    if (const char* err = decodeStream(in, buffer)) {
        buffer.fail();
        if (error) *error = err;
        return false;
    }
    buffer.finish();
    if (error) error->clear();
    return true;
}

} // namespace qv::lzfse
