#pragma once
// Reading a whole regular file block by block, for digests of its contents.

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

namespace qv::platform {

using BlockConsumer = std::function<void(const char* data, std::size_t size)>;

// Hands every block of the file at `path` to `consume`, in order. Only a
// regular file is read (a link is followed when `followLinks`): a FIFO, a
// device or a folder answers EINVAL at once, without waiting for a writer.
// Returns 0, an errno value, or ECANCELED when `cancelled` was set.
int readRegularFile(const std::string& path, bool followLinks, const BlockConsumer& consume,
                    const std::atomic<bool>* cancelled = nullptr);

}  // namespace qv::platform
