#pragma once

// LZFSE stream codec: the block format used by the platform compression
// library for snapshot files. Plain C++ over byte spans; no Qt here so the
// codec can be fuzzed and benchmarked on its own.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace qv::lzfse {

// Decodes a whole stream; stops at the first end-of-stream block and ignores what follows.
// On failure returns false, leaves `out` empty and sets *error to a short English reason.
// `maxOutput` caps the decoded size: streams that would produce more are rejected,
// which is how callers defend against decompression bombs.
bool decode(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& out,
            std::string* error = nullptr, std::size_t maxOutput = SIZE_MAX);

namespace detail {
class OutputBuffer;
struct LzfseDecodeWorkspace;
}

// Decodes a stream piece by piece, holding only the stretch of output that
// later matches can reach back into (a few hundred KiB), so a large stream
// can be consumed without its whole output in memory. Pieces already handed
// out may be followed by an error: a consumer must treat the result as whole
// only once next() has returned false with error() empty.
class StreamDecoder {
public:
    explicit StreamDecoder(std::span<const std::uint8_t> in, std::size_t maxOutput = SIZE_MAX);
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    // The next piece of output, valid until the next call; false at the end or on an error.
    bool next(std::span<const std::uint8_t>& chunk);
    // Why decoding stopped early; nullptr when it did not.
    const char* error() const { return m_error; }

private:
    static constexpr std::size_t kWindow = 512 * 1024;   // more than the farthest match distance
    std::span<const std::uint8_t> m_in;
    std::vector<std::uint8_t> m_storage;
    std::unique_ptr<detail::OutputBuffer> m_buffer;
    std::unique_ptr<detail::LzfseDecodeWorkspace> m_workspace;
    std::size_t m_position = 0;
    std::size_t m_emitted = 0;
    bool m_end = false;
    const char* m_error = nullptr;
};

// Encodes `in` as a complete stream (blocks followed by the end-of-stream marker).
// Inputs below 8 bytes become a raw block, below 4096 bytes an LZVN block (or raw
// if that is not smaller), larger inputs LZFSE blocks (or raw if incompressible).
std::vector<std::uint8_t> encode(std::span<const std::uint8_t> in);

} // namespace qv::lzfse
