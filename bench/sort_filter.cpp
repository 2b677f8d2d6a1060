// Sorting and filtering a large comparison tree, against the scan that built it.
//
//   bench_sort_filter LEFT RIGHT

#include "QuietObserver.h"
#include "engine/FolderScanner.h"
#include "engine/KRootItem.h"
#include "engine/SortOrder.h"
#include "engine/ViewFilter.h"

#include <chrono>
#include <cstdio>

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::size_t shownRows(qv::ViewFilter& view, qv::KItem* item) {
    std::size_t n = 0;
    for (qv::KItem* child : view.FilteredObjectsForModule(item)) n += 1 + shownRows(view, child);
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bench_sort_filter LEFT RIGHT\n");
        return 2;
    }
    qv::bench::QuietObserver observer;
    auto root = qv::KRootItem::ItemWithFolder(argv[2], qv::kSideRight);
    root->setILeftPath(argv[1]);
    root->setIRightPath(argv[2]);
    auto start = std::chrono::steady_clock::now();
    qv::FolderScanner scanner(qv::platform::systemFileSystem(), observer);
    scanner.CompareThread(*root);
    const double scan = secondsSince(start);
    std::printf("scan %.2f s, %zu nodes\n", scan, root->store().itemCount());

    const std::pair<const char*, int> columns[] = {{"state", qv::kColumnState}, {"name", qv::kColumnName1},
                                                   {"size1", qv::kColumnSize1}, {"date2", qv::kColumnDate2}};
    for (const auto& [name, column] : columns) {
        root->iSortingColumn = column;
        start = std::chrono::steady_clock::now();
        root->Resort();
        const double t = secondsSince(start);
        std::printf("sort by %-6s %.3f s (%.0f%% of the scan)\n", name, t, 100 * t / scan);
    }
    const std::pair<const char*, unsigned> filters[] = {{"differences only", qv::kShowDifferent | qv::kShowLeftOnly | qv::kShowRightOnly | qv::kShowEmptyFolders},
                                                        {"one-sided only", qv::kShowLeftOnly | qv::kShowRightOnly | qv::kShowEmptyFolders}};
    for (const auto& [name, bits] : filters) {
        qv::ViewFilter view(*root, bits);
        start = std::chrono::steady_clock::now();
        const std::size_t rows = shownRows(view, root.get());
        const double t = secondsSince(start);
        std::printf("filter %-16s %.3f s (%.0f%% of the scan), %zu rows shown\n", name, t, 100 * t / scan, rows);
    }
    return 0;
}
