#include "engine/NodeStore.h"

#include "engine/KItem.h"

#include <cstring>

namespace qv {

static_assert(alignof(KItem) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);

NodeStore::~NodeStore() {
    std::size_t remaining = m_itemCount;
    for (auto& chunk : m_itemChunks) {
        auto* items = reinterpret_cast<KItem*>(chunk.get());
        std::size_t n = remaining < kItemsPerChunk ? remaining : kItemsPerChunk;
        for (std::size_t i = 0; i < n; ++i) items[i].~KItem();
        remaining -= n;
    }
}

void* NodeStore::allocateItemSlot() {
    std::size_t index = m_itemCount % kItemsPerChunk;
    if (index == 0)
        m_itemChunks.emplace_back(new std::byte[kItemsPerChunk * sizeof(KItem)]);
    ++m_itemCount;
    return m_itemChunks.back().get() + index * sizeof(KItem);
}

std::string_view NodeStore::keepName(std::string_view bytes) {
    if (bytes.empty()) return {};
    if (m_nameUsed + bytes.size() > kNameChunkBytes) {
        std::size_t size = bytes.size() > kNameChunkBytes ? bytes.size() : kNameChunkBytes;
        m_nameChunks.emplace_back(new char[size]);
        m_nameBytesReserved += size;
        m_nameUsed = 0;
    }
    char* dest = m_nameChunks.back().get() + m_nameUsed;
    std::memcpy(dest, bytes.data(), bytes.size());
    m_nameUsed += bytes.size();
    return {dest, bytes.size()};
}

std::size_t NodeStore::bytesReserved() const {
    return m_itemChunks.size() * kItemsPerChunk * sizeof(KItem) + m_nameBytesReserved;
}

}  // namespace qv
