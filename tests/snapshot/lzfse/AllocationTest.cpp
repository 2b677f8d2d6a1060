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

    // A valid stream still gets the memory it needs.
    const Bytes english = readVector("valid/english_1m.lzfse");
    largestAllocation = 0;
    Bytes out;
    ASSERT_TRUE(decode(english, out));
    EXPECT_GE(largestAllocation.load(), out.size());
}

} // namespace
} // namespace qv::lzfse::test
