// Header fields announce sizes the rest of a stream need not back up. The
// decoder must not size memory from them: this binary counts the largest
// single allocation while the "memory bomb" vectors are decoded.

#include "TestData.h"

#include "snapshot/lzfse/Lzfse.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::size_t> largestAllocation{0};
}

void* operator new(std::size_t size) {
    std::size_t seen = largestAllocation.load(std::memory_order_relaxed);
    while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
// GCC cannot tell that these pair with the replacement operator new above.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace qv::lzfse::test {
namespace {

TEST(LzfseAllocation, ClaimedSizesDoNotDriveAllocation) {
    int checked = 0;
    for (const ManifestRow& row : readManifest()) {
        if (row.kind != "bad" || row.name.find("4gib") == std::string::npos) continue;
        SCOPED_TRACE(row.name);
        const Bytes stream = readVector(row.name);
        largestAllocation = 0;
        Bytes out;
        EXPECT_FALSE(decode(stream, out));
        EXPECT_LT(largestAllocation.load(), std::size_t{1} << 20);
        ++checked;
    }
    EXPECT_GE(checked, 3);

    // Many blocks that each claim 4 GiB and the most triples a block may
    // hold: whatever is reserved must stay in proportion to the input, not
    // to the sum of the claims.
    Bytes one = readVector("bad/v2_n_raw_4gib.lzfse");
    ASSERT_GT(one.size(), 16u);
    // n_matches lives in bits 40..59 of the first packed header word (bytes 8..15).
    one[13] = 0x10;
    one[14] = 0x27;
    one[15] &= 0xF0;
    Bytes many;
    for (int i = 0; i < 1000; ++i) many.insert(many.end(), one.begin(), one.end() - 4);
    many.insert(many.end(), one.end() - 4, one.end());
    largestAllocation = 0;
    Bytes out;
    EXPECT_FALSE(decode(many, out));
    EXPECT_LT(largestAllocation.load(), 32 * many.size() + (std::size_t{1} << 20));

    // A valid stream still gets the memory it needs.
    const Bytes english = readVector("valid/english_1m.lzfse");
    largestAllocation = 0;
    ASSERT_TRUE(decode(english, out));
    EXPECT_GE(largestAllocation.load(), out.size());
}

} // namespace
} // namespace qv::lzfse::test
