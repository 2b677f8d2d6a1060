#include "snapshot/KSnapURL.h"

namespace qv {

KSnapURL* KSnapURL::child(std::string_view name) const {
    for (KSnapURL* c : iChildren)
        if (c->iName == name) return c;
    return nullptr;
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
