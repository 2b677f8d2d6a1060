#pragma once

// LZFSE stream codec: the block format used by the platform compression
// library for snapshot files. Plain C++ over byte spans; no Qt here so the
// codec can be fuzzed and benchmarked on its own.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <thread>
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

namespace detail {
class LzfseWindowEncoder;

// Inputs from this size on are encoded as LZFSE blocks.
inline constexpr std::size_t kMinLzfseInput = 4096;

// The stream encode() makes of `in`, given the LZFSE blocks encodeLzfseBlocks
// made of it (ignored for an input too short to have them).
std::vector<std::uint8_t> completeStream(std::span<const std::uint8_t> in, std::vector<std::uint8_t> blocks);
}

// Encodes an input that arrives in pieces on a thread of its own, so that
// compressing overlaps whatever produces the pieces. The stream is the one
// encode() makes of all the pieces joined.
class StreamEncoder {
public:
    StreamEncoder();
    ~StreamEncoder();
    StreamEncoder(const StreamEncoder&) = delete;
    StreamEncoder& operator=(const StreamEncoder&) = delete;

    // Takes the next piece of input (copied: `piece` may be reused at once).
    void append(std::string_view piece);
    // Waits for the encoding of everything appended and returns the stream.
    std::vector<std::uint8_t> finish();

private:
    void work();
    void encodeAvailable(bool final);

    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::string m_waiting;     // appended and not yet taken by the thread
    bool m_finishing = false;
    bool m_abandoned = false;
    std::vector<std::uint8_t> m_input;   // the thread's: everything taken so far
    std::vector<std::uint8_t> m_blocks;
    std::unique_ptr<detail::LzfseWindowEncoder> m_window;
    std::size_t m_windowStart = 0;
    std::thread m_thread;
};

} // namespace qv::lzfse
