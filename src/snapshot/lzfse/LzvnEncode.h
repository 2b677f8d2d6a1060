#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace qv::lzfse::detail {

// Encodes `in` (at least 8 bytes) as one LZVN opcode stream, end opcode
// included, replacing the contents of `payload`.
void encodeLzvnPayload(std::span<const std::uint8_t> in, std::vector<std::uint8_t>& payload);

} // namespace qv::lzfse::detail
