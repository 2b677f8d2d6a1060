#include "platform/FileStream.h"

#include "platform/FileSystem.h"
#include "platform/InputFile.h"

#include <cerrno>
#include <memory>

namespace qv::platform {
namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

}  // namespace

int readRegularFile(const std::string& path, bool followLinks, const BlockConsumer& consume,
                    const std::atomic<bool>* cancelled) {
    InputFile file;
    const InputStatus status = file.open(path, followLinks);
    if (status.problem == InputProblem::NotRegularFile) return EINVAL;
    if (!status.ok()) return status.error == ELOOP ? EINVAL : status.error;
    thread_local std::unique_ptr<char[]> buffer(new char[kBlockSize]);
    for (;;) {
        if (cancelled && cancelled->load(std::memory_order_relaxed)) return ECANCELED;
        const ssize_t n = file.read(buffer.get(), kBlockSize);
        if (n < 0) return errno;
        if (n == 0) return 0;
        consume(buffer.get(), static_cast<std::size_t>(n));
    }
}

int FileSystem::readContents(const std::string& path, bool followLinks, const BlockConsumer& consume,
                             const std::atomic<bool>* cancelled) {
    return readRegularFile(path, followLinks, consume, cancelled);
}

}  // namespace qv::platform
