#pragma once

// LZFSE stream codec: the block format used by the platform compression
// library for snapshot files. Plain C++ over byte spans; no Qt here so the
// codec can be fuzzed and benchmarked on its own.

#include <cstddef>
#include <cstdint>
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

// Encodes `in` as a complete stream (blocks followed by the end-of-stream marker).
// Inputs below 8 bytes become a raw block, below 4096 bytes an LZVN block (or raw
// if that is not smaller), larger inputs LZFSE blocks (or raw if incompressible).
std::vector<std::uint8_t> encode(std::span<const std::uint8_t> in);

} // namespace qv::lzfse
