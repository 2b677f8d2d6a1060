// Seeded mutation fuzzing over the valid vectors: whatever the damage, the
// decoder must return cleanly, keep to the output limit and never hand back
// partial output. Run under the sanitizers this also checks memory safety.

#include "TestData.h"

#include "snapshot/lzfse/Lzfse.h"

#include <gtest/gtest.h>

#include <random>

namespace qv::lzfse::test {
namespace {

Bytes mutate(const Bytes& original, std::mt19937_64& rng) {
    Bytes b = original;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !b.empty(); ++e) {
        // Headers sit at the start of the stream (and of each block); aim a
        // good share of the edits there, where single bits change sizes and
        // table entries.
        const std::size_t span = rng() % 2 ? std::min<std::size_t>(b.size(), 64) : b.size();
        const std::size_t at = rng() % span;
        switch (rng() % 6) {
        case 0: b[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8)); break;
        case 1: b[at] = static_cast<std::uint8_t>(rng()); break;
        case 2: b.resize(at); break;
        case 3: b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), static_cast<std::uint8_t>(rng())); break;
        case 4: b.erase(b.begin() + static_cast<std::ptrdiff_t>(at)); break;
        default: {
            // Overwrite a 32-bit field with an extreme value.
            static const std::uint32_t extremes[] = {0, 1, 0x7FFFFFFF, 0xFFFFFFFF, 0x100000, 40000, 10000};
            const std::uint32_t v = extremes[rng() % 7];
            for (int i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
        }
        }
    }
    return b;
}

TEST(LzfseMutation, DamagedStreamsFailCleanlyOrStayWithinLimit) {
    std::vector<Bytes> seeds;
    std::vector<std::size_t> sizes;
    for (const ManifestRow& row : readManifest()) {
        if ((row.kind == "valid" || row.kind == "v1") && row.streamSize <= 70000) {
            seeds.push_back(readVector(row.name));
            sizes.push_back(readVector(row.input).size());
        }
    }
    ASSERT_GE(seeds.size(), 20u);

    std::mt19937_64 rng(20240611);
    int accepted = 0, rejected = 0;
    for (int iter = 0; iter < 4000; ++iter) {
        const std::size_t which = rng() % seeds.size();
        const Bytes stream = mutate(seeds[which], rng);
        // Limits around the true size, sometimes far below it.
        const std::size_t limit = rng() % 4 == 0 ? rng() % 1024 : sizes[which] + rng() % 4096;
        Bytes out(7, 0x55);
        std::string error;
        if (decode(stream, out, &error, limit)) {
            ASSERT_LE(out.size(), limit) << "iteration " << iter;
            ASSERT_TRUE(error.empty());
            ++accepted;
        } else {
            ASSERT_TRUE(out.empty()) << "iteration " << iter;
            ASSERT_FALSE(error.empty());
            ++rejected;
        }
    }
    // Both outcomes must actually occur, or the mutations are too weak or too
    // destructive to exercise the decoder.
    EXPECT_GT(accepted, 100);
    EXPECT_GT(rejected, 1000);
}

} // namespace
} // namespace qv::lzfse::test
