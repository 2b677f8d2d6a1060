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

// Sum of the plausible outputs of the blocks ahead, found by walking their
// headers only. One reservation for the whole stream avoids regrowing (and
// copying) the output once per block. Malformed headers just end the walk;
// decoding reports them.
std::size_t expectedOutput(std::span<const std::uint8_t> in) {
    const std::uint8_t* const data = in.data();
    const std::size_t n = in.size();
    std::size_t p = 0, total = 0;
    while (n - p >= 4) {
        const std::uint8_t* const block = data + p;
        const std::size_t avail = n - p;
        std::size_t blockOutput, blockSize;
        switch (load32(block)) {
        case kMagicRaw:
            if (avail < kRawHeaderSize || load32(block + 4) > avail - kRawHeaderSize) return total;
            blockOutput = load32(block + 4);
            blockSize = kRawHeaderSize + blockOutput;
            break;
        case kMagicLzvn:
            if (avail < kLzvnHeaderSize || load32(block + 8) > avail - kLzvnHeaderSize) return total;
            blockOutput = plausibleLzvnOutput(load32(block + 4), load32(block + 8));
            blockSize = kLzvnHeaderSize + load32(block + 8);
            break;
        case kMagicV1:
        case kMagicV2: {
            LzfseBlockHeader h;
            if (load32(block) == kMagicV1 ? parseV1Header(block, avail, h) : parseV2Header(block, avail, h))
                return total;
            const std::uint64_t size = std::uint64_t{h.headerSize} + h.nLiteralPayloadBytes + h.nLmdPayloadBytes;
            if (size > avail) return total;
            blockOutput = plausibleLzfseOutput(h);
            blockSize = static_cast<std::size_t>(size);
            break;
        }
        default: // end of stream or garbage
            return total;
        }
        total += blockOutput;
        p += blockSize;
    }
    return total;
}

// Per-block allowances must not add up across a stream of tiny blocks that
// all claim huge sizes. Up front, no more than a generous ordinary
// compression ratio is reserved; beyond it the buffer grows as data arrives.
std::size_t cappedExpectedOutput(std::span<const std::uint8_t> in) {
    const std::size_t expected = expectedOutput(in);
    const std::size_t cap = in.size() * 16 + 64 * 1024;
    return expected < cap ? expected : cap;
}

// Decodes the block at in[p], advancing p past it; `end` is set at the
// end-of-stream block.
const char* decodeBlock(std::span<const std::uint8_t> in, std::size_t& p, OutputBuffer& out,
                        std::unique_ptr<LzfseDecodeWorkspace>& ws, bool& end) {
    const std::uint8_t* const data = in.data();
    const std::size_t avail = in.size() - p;
    if (avail < 4) return "truncated stream: no end-of-stream block";
    const std::uint8_t* const block = data + p;
    switch (load32(block)) {
    case kMagicEos:
        end = true;
        return nullptr;
    case kMagicRaw: {
        if (avail < kRawHeaderSize) return "truncated raw block header";
        const std::uint32_t nRaw = load32(block + 4);
        if (nRaw > avail - kRawHeaderSize) return "raw block runs past the end of the input";
        if (!out.reserve(nRaw)) return "output exceeds the size limit";
        if (nRaw != 0) std::memcpy(out.data() + out.size(), block + kRawHeaderSize, nRaw);
        out.setSize(out.size() + nRaw);
        p += kRawHeaderSize + nRaw;
        return nullptr;
    }
    case kMagicLzvn: {
        if (avail < kLzvnHeaderSize) return "truncated LZVN block header";
        const std::uint32_t nRaw = load32(block + 4);
        const std::uint32_t nPayload = load32(block + 8);
        if (nPayload > avail - kLzvnHeaderSize) return "LZVN block runs past the end of the input";
        if (nRaw > out.maxOutput() - out.size()) return "output exceeds the size limit";
        if (const char* err = decodeLzvnBlock(block + kLzvnHeaderSize, nPayload, nRaw, out)) return err;
        p += kLzvnHeaderSize + nPayload;
        return nullptr;
    }
    case kMagicV1:
    case kMagicV2: {
        LzfseBlockHeader h;
        const char* err = load32(block) == kMagicV1 ? parseV1Header(block, avail, h) : parseV2Header(block, avail, h);
        if (err) return err;
        const std::uint64_t blockSize = std::uint64_t{h.headerSize} + h.nLiteralPayloadBytes + h.nLmdPayloadBytes;
        if (blockSize > avail) return "LZFSE block runs past the end of the input";
        if (h.nRawBytes > out.maxOutput() - out.size()) return "output exceeds the size limit";
        if (!ws) ws = std::make_unique<LzfseDecodeWorkspace>();
        if ((err = decodeLzfseBlock(block, h, *ws, out))) return err;
        p += static_cast<std::size_t>(blockSize);
        return nullptr;
    }
    default:
        return "unknown block magic";
    }
}

const char* decodeStream(std::span<const std::uint8_t> in, OutputBuffer& out) {
    out.expect(cappedExpectedOutput(in));
    std::size_t p = 0;
    std::unique_ptr<LzfseDecodeWorkspace> ws;
    for (bool end = false; !end;)
        if (const char* err = decodeBlock(in, p, out, ws, end)) return err;
    return nullptr;
}

} // namespace

StreamDecoder::StreamDecoder(std::span<const std::uint8_t> in, std::size_t maxOutput)
    : m_in(in), m_buffer(std::make_unique<OutputBuffer>(m_storage, maxOutput)) {}

StreamDecoder::~StreamDecoder() = default;

bool StreamDecoder::next(std::span<const std::uint8_t>& chunk) {
    chunk = {};
    while (!m_end && !m_error) {
        // Only the last stretch that matches can reach back into is kept.
        if (m_emitted > 2 * kWindow) {
            m_buffer->keepLast(kWindow);
            m_emitted = kWindow;
        }
        if (const char* err = decodeBlock(m_in, m_position, *m_buffer, m_workspace, m_end)) {
            m_error = err;
            return false;
        }
        if (m_buffer->size() > m_emitted) {
            chunk = std::span<const std::uint8_t>(m_buffer->data() + m_emitted, m_buffer->size() - m_emitted);
            m_emitted = m_buffer->size();
            return true;
        }
    }
    return false;
}

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
