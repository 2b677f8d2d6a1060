#pragma once

// Constants of the block format and little-endian helpers shared by the
// decoder and the encoder.

#include <cstdint>
#include <cstring>

namespace qv::lzfse::detail {

inline constexpr std::uint32_t kMagicEos = 0x24787662;  // "bvx$"
inline constexpr std::uint32_t kMagicRaw = 0x2D787662;  // "bvx-"
inline constexpr std::uint32_t kMagicV1 = 0x31787662;   // "bvx1"
inline constexpr std::uint32_t kMagicV2 = 0x32787662;   // "bvx2"
inline constexpr std::uint32_t kMagicLzvn = 0x6E787662; // "bvxn"

inline constexpr std::size_t kRawHeaderSize = 8;
inline constexpr std::size_t kLzvnHeaderSize = 12;
inline constexpr std::size_t kV1HeaderSize = 772;
inline constexpr std::size_t kV2FixedHeaderSize = 32;

inline constexpr int kLiteralStates = 1024;
inline constexpr int kLStates = 64;
inline constexpr int kMStates = 64;
inline constexpr int kDStates = 256;
inline constexpr int kLiteralSymbols = 256;
inline constexpr int kLSymbols = 20;
inline constexpr int kMSymbols = 20;
inline constexpr int kDSymbols = 64;

inline constexpr std::uint32_t kMaxLiteralsPerBlock = 40000;
inline constexpr std::uint32_t kMaxMatchesPerBlock = 10000;
inline constexpr std::uint32_t kMaxL = 315;
inline constexpr std::uint32_t kMaxM = 2359;
inline constexpr std::uint32_t kMaxD = 262139;

inline constexpr std::uint8_t kLExtraBits[kLSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                         0, 0, 0, 0, 0, 0, 2, 3, 5, 8};
inline constexpr std::int32_t kLBase[kLSymbols] = {0, 1, 2,  3,  4,  5,  6,  7,  8,  9,
                                                    10, 11, 12, 13, 14, 15, 16, 20, 28, 60};
inline constexpr std::uint8_t kMExtraBits[kMSymbols] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                         0, 0, 0, 0, 0, 0, 3, 5, 8, 11};
inline constexpr std::int32_t kMBase[kMSymbols] = {0,  1,  2,  3,  4,  5,  6,  7,  8,   9,
                                                    10, 11, 12, 13, 14, 15, 16, 24, 56, 312};

// Distance symbol s = 4g + r carries g extra bits over a base of ((4 + r) << g) - 4.
struct DistanceTables {
    std::uint8_t extra[kDSymbols];
    std::int32_t base[kDSymbols];
    constexpr DistanceTables() : extra{}, base{} {
        for (int s = 0; s < kDSymbols; ++s) {
            const int g = s >> 2, r = s & 3;
            extra[s] = static_cast<std::uint8_t>(g);
            base[s] = ((4 + r) << g) - 4;
        }
    }
};
inline constexpr DistanceTables kD{};

inline std::uint16_t load16(const std::uint8_t* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v; // the project targets little-endian Linux hosts only
}
inline std::uint32_t load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
inline void store16(std::uint8_t* p, std::uint16_t v) { std::memcpy(p, &v, 2); }
inline void store32(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }
inline void store64(std::uint8_t* p, std::uint64_t v) { std::memcpy(p, &v, 8); }

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the codec assumes a little-endian host");

} // namespace qv::lzfse::detail
