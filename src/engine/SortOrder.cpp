#include "engine/SortOrder.h"

#include "engine/KRootItem.h"
#include "engine/NameOrder.h"

#include <QString>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <climits>

namespace qv {
namespace {

constexpr int kStateCount = 13;

// Written on the main thread when the user reorders; read by sorts.
std::array<std::atomic<int>, kStateCount>& rankTable() {
    static std::array<std::atomic<int>, kStateCount> table;
    static const bool filled = [] {
        const int order[kStateCount] = {7, 8, 5, 4, 2, 3, 11, 12, 1, 6, 10, 0, 9};
        for (int i = 0; i < kStateCount; ++i) table[static_cast<std::size_t>(order[i])] = i;
        return true;
    }();
    (void)filled;
    return table;
}

int sign(long long v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

bool isFolder(const KItem& item) { return item.iDir1 || item.iDir2; }

// A missing date sorts as the distant past.
long long dateKey(std::int64_t ns) { return ns == platform::kNoTime ? LLONG_MIN : ns; }

std::int64_t extraDate(const KItem& item, int column) {
    const ItemExtras* x = item.extrasIfAny();
    if (!x) return platform::kNoTime;
    switch (column) {
    case kColumnCreated1: return x->iDateC1;
    case kColumnCreated2: return x->iDateC2;
    case kColumnOpened1: return x->iDateO1;
    case kColumnOpened2: return x->iDateO2;
    case kColumnAdded1: return x->iDateA1;
    case kColumnAdded2: return x->iDateA2;
    default: return platform::kNoTime;
    }
}

QString extraText(const KItem& item, int column) {
    const ItemExtras* x = item.extrasIfAny();
    if (!x) return {};
    switch (column) {
    case kColumnKind1: return x->iKind1;
    case kColumnKind2: return x->iKind2;
    case kColumnTags1: return x->iTags1;
    case kColumnTags2: return x->iTags2;
    case kColumnDigest1: return x->iMD51;
    case kColumnDigest2: return x->iMD52;
    default: return {};
    }
}

std::string_view name2OrName(const KItem& item) { return item.hasName2() ? item.name2Bytes() : item.nameBytes(); }

int compareColumn(const KItem& a, const KItem& b, int column) {
    switch (column) {
    case kColumnName1: return compareNamesNaturally(a.nameBytes(), b.nameBytes());
    case kColumnName2: return compareNamesNaturally(name2OrName(a), name2OrName(b));
    case kColumnSize1: return sign((a.hasSide(kSideLeft) ? a.iSize1 : 0) - (b.hasSide(kSideLeft) ? b.iSize1 : 0));
    case kColumnSize2: return sign((a.hasSide(kSideRight) ? a.iSize2 : 0) - (b.hasSide(kSideRight) ? b.iSize2 : 0));
    case kColumnDate1: return dateKey(a.iDate1) < dateKey(b.iDate1) ? -1 : dateKey(a.iDate1) > dateKey(b.iDate1);
    case kColumnDate2: return dateKey(a.iDate2) < dateKey(b.iDate2) ? -1 : dateKey(a.iDate2) > dateKey(b.iDate2);
    case kColumnCreated1: case kColumnCreated2: case kColumnOpened1: case kColumnOpened2:
    case kColumnAdded1: case kColumnAdded2: {
        const long long x = dateKey(extraDate(a, column)), y = dateKey(extraDate(b, column));
        return x < y ? -1 : x > y;
    }
    case kColumnTags1: case kColumnTags2:
        return sign(extraText(a, column).compare(extraText(b, column), Qt::CaseInsensitive));
    default:
        return sign(extraText(a, column).compare(extraText(b, column)));
    }
}

int byNameAscending(const KItem& a, const KItem& b) { return compareNamesNaturally(a.nameBytes(), b.nameBytes()); }

int compareByState(const KItem& a, const KItem& b, const KRootItem& root, int d) {
    const int r = sign(stateRank(a.iState) - stateRank(b.iState));
    if (root.iSortOnlyByFirst) return r;
    if (r != 0) return d * r;
    if (root.iFoldersOnTop && isFolder(a) != isFolder(b)) return isFolder(a) ? -d : d;
    if (a.iOffsetSize != b.iOffsetSize) return a.iOffsetSize ? -d : d;
    if (a.iOffsetDate != b.iOffsetDate) return a.iOffsetDate ? -d : d;
    return byNameAscending(a, b);
}

}  // namespace

std::uint32_t columnBitFor(int column) {
    switch (column) {
    case kColumnCreated1: case kColumnCreated2: return kColumnCreationDate;
    case kColumnOpened1: case kColumnOpened2: return kColumnOpeningDate;
    case kColumnKind1: case kColumnKind2: return kColumnKind;
    case kColumnTags1: case kColumnTags2: return kColumnTags;
    case kColumnDigest1: case kColumnDigest2: return kColumnDigest;
    case kColumnAdded1: case kColumnAdded2: return kColumnDateAdded;
    default: return 0;
    }
}

const std::vector<int>& defaultSortStates() {
    static const std::vector<int> order = {7, 8, 5, 11, 12, 1};
    return order;
}

void SetSortStates(const std::vector<int>& userOrder) {
    std::vector<int> order;
    auto add = [&](int s) {
        if (s >= 0 && s < kStateCount && std::find(order.begin(), order.end(), s) == order.end()) order.push_back(s);
    };
    for (int s : userOrder) {
        add(s);
        if (s == kStateDifferent) {
            add(kStateSizesAndDatesDiffer);
            add(kStateSizesDiffer);
            add(kStateDatesDiffer);
        }
    }
    for (int s : {kStateLeftUnpaired, kStateNoEntry, kStateNotCompared, kStateCancelled}) add(s);
    auto& table = rankTable();
    for (auto& rank : table) rank = -1;
    for (std::size_t i = 0; i < order.size(); ++i) table[static_cast<std::size_t>(order[i])] = static_cast<int>(i);
}

int stateRank(int state) {
    if (state < 0 || state >= kStateCount) return -1;
    return rankTable()[static_cast<std::size_t>(state)].load(std::memory_order_relaxed);
}

int compareNamesNaturally(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[j]);
        if (std::isdigit(x) && std::isdigit(y)) {
            // Compare the runs by value: skip leading zeros, then the longer run is larger.
            std::size_t i0 = i, j0 = j;
            while (i0 < a.size() && a[i0] == '0') ++i0;
            while (j0 < b.size() && b[j0] == '0') ++j0;
            std::size_t i1 = i0, j1 = j0;
            while (i1 < a.size() && std::isdigit(static_cast<unsigned char>(a[i1]))) ++i1;
            while (j1 < b.size() && std::isdigit(static_cast<unsigned char>(b[j1]))) ++j1;
            if (i1 - i0 != j1 - j0) return i1 - i0 < j1 - j0 ? -1 : 1;
            if (int c = a.substr(i0, i1 - i0).compare(b.substr(j0, j1 - j0))) return c < 0 ? -1 : 1;
            i = i1;
            j = j1;
            continue;
        }
        if (x >= 0x80 || y >= 0x80) {
            // Past plain ASCII, the rest compares without case and with equivalent forms equal.
            if (int c = compareNames(a.substr(i), b.substr(j))) return c;
            return 0;
        }
        const int fx = std::tolower(x), fy = std::tolower(y);
        if (fx != fy) return fx < fy ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

int CompareUsingRootSortType(const KItem& a, const KItem& b, const KRootItem& root) {
    const int column = root.iSortingColumn < 0 ? kColumnName1 : root.iSortingColumn;
    const int d = root.iSortAscending ? 1 : -1;
    if (column == kColumnState || column > kColumnAdded2) return compareByState(a, b, root, d);
    if (root.iFoldersOnTop && isFolder(a) != isFolder(b)) return isFolder(a) ? -1 : 1;
    if (const int r = compareColumn(a, b, column)) return d * r;
    if (column == kColumnName1 || column == kColumnName2) return 0;
    return byNameAscending(a, b);
}

void sortForDisplay(std::vector<KItem*>& children, const KRootItem& root) {
    const auto before = [&](const KItem* a, const KItem* b) { return CompareUsingRootSortType(*a, *b, root) < 0; };
    // Mostly in order already (the scan pairs by name; a filtered list keeps
    // its folder's order): checking costs one comparison per item, sorting a
    // few per item.
    if (std::is_sorted(children.begin(), children.end(), before)) return;
    std::stable_sort(children.begin(), children.end(), before);
}

void sortByStateOnly(std::vector<KItem*>& children) {
    std::stable_sort(children.begin(), children.end(),
                     [](const KItem* a, const KItem* b) { return stateRank(a->iState) < stateRank(b->iState); });
}

}  // namespace qv
