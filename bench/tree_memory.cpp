// Bytes of heap per comparison node: scans two folders into a tree and
// reports the heap the tree holds, divided by its node count.
//
//   bench_tree_memory LEFT RIGHT

#include "QuietObserver.h"
#include "engine/FolderScanner.h"
#include "engine/KRootItem.h"

#include <chrono>
#include <cstdio>
#include <malloc.h>

namespace {

// Bytes in use, counting the large blocks malloc hands out through mmap.
std::size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::size_t countNodes(const qv::KItem& item) {
    std::size_t n = 1;
    for (const qv::KItem* child : item.iChildren()) n += countNodes(*child);
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_tree_memory LEFT RIGHT\n");
        return 2;
    }
    qv::bench::QuietObserver observer;
    const std::size_t before = heapInUse();
    auto root = qv::KRootItem::ItemWithFolder(argv[2], qv::kSideRight);
    root->setILeftPath(argv[1]);
    root->setIRightPath(argv[2]);
    const auto start = std::chrono::steady_clock::now();
    {
        qv::FolderScanner scanner(qv::platform::systemFileSystem(), observer);
        scanner.CompareThread(*root);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::size_t heap = heapInUse() - before;
    const std::size_t nodes = countNodes(*root);
    std::printf("nodes %zu, tree heap %.1f MiB, %.1f bytes per node (sizeof KItem %zu), scan %.2f s\n", nodes,
                heap / 1048576.0, static_cast<double>(heap) / static_cast<double>(nodes), sizeof(qv::KItem), seconds);
    return 0;
}
