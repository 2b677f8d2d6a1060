#pragma once
// Storage for the nodes and names of one comparison tree. A tree of millions
// of nodes would spend more on allocator headers than on its data if every
// node and name were a heap block of its own, and the whole tree is released
// at once when the next run replaces it.

#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace qv {

class KItem;

class NodeStore {
public:
    NodeStore() = default;
    NodeStore(const NodeStore&) = delete;
    NodeStore& operator=(const NodeStore&) = delete;
    ~NodeStore();

    template <class... Args>
    KItem* newItem(Args&&... args);

    // A stable copy of the bytes, valid as long as the store.
    std::string_view keepName(std::string_view bytes);

    std::size_t itemCount() const { return m_itemCount; }
    std::size_t bytesReserved() const;

private:
    void* allocateItemSlot();

    static constexpr std::size_t kItemsPerChunk = 4096;
    static constexpr std::size_t kNameChunkBytes = 64 * 1024;
    std::vector<std::unique_ptr<std::byte[]>> m_itemChunks;
    std::size_t m_itemCount = 0;
    std::vector<std::unique_ptr<char[]>> m_nameChunks;
    std::size_t m_nameUsed = kNameChunkBytes;
    std::size_t m_nameBytesReserved = 0;
};

}  // namespace qv
