#include "platform/HugePages.h"

#include <cstdint>
#include <sys/mman.h>

namespace qv::platform {

void adviseHugePages(const void* data, std::size_t bytes) {
    constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + bytes) & ~(kHugePage - 1);
    if (data == nullptr || last <= first) return;
    // A refusal (an old kernel, huge pages switched off) leaves normal pages.
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace qv::platform
