#include "snapshot/KSnapURL.h"

#include <algorithm>

namespace qv {

namespace {

// Below this many children a look-up reads them all faster than it would search an index.
constexpr std::size_t kIndexFrom = 16;

bool nameBefore(const KSnapURL* a, std::string_view name) { return a->iName < name; }

}  // namespace

KSnapURL* KSnapURL::child(std::string_view name) const {
    if (iChildrenByName) {
        auto it = std::lower_bound(iChildrenByName->begin(), iChildrenByName->end(), name, nameBefore);
        return it != iChildrenByName->end() && (*it)->iName == name ? *it : nullptr;
    }
    for (KSnapURL* c : iChildren)
        if (c->iName == name) return c;
    return nullptr;
}

void KSnapURL::indexChildren() {
    if (iChildren.size() < kIndexFrom) return;
    iChildrenByName = std::make_unique<std::vector<KSnapURL*>>(iChildren);
    std::stable_sort(iChildrenByName->begin(), iChildrenByName->end(),
                     [](const KSnapURL* a, const KSnapURL* b) { return a->iName < b->iName; });
}

std::string KSnapURL::md5Hex() const {
    if (!hasMD5) return {};
    static const char* hex = "0123456789abcdef";
    std::string out;
    out.reserve(32);
    for (std::uint8_t b : iMD5) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

}  // namespace qv
