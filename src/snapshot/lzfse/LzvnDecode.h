#pragma once

#include "snapshot/lzfse/OutputBuffer.h"

#include <cstddef>
#include <cstdint>

namespace qv::lzfse::detail {

// Decodes one LZVN payload that must produce exactly nRawBytes bytes, appended
// to `out` (matches may reach into earlier blocks). The caller has checked
// that nRawBytes fits the output limit. Returns nullptr or a short reason.
const char* decodeLzvnBlock(const std::uint8_t* payload, std::size_t payloadSize,
                            std::uint32_t nRawBytes, OutputBuffer& out);

// Output the block can really produce: its declared size, capped by what its
// payload could expand to.
std::size_t plausibleLzvnOutput(std::uint32_t nRawBytes, std::size_t payloadSize);

} // namespace qv::lzfse::detail
