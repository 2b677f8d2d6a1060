#include "platform/FileSystem.h"
#include "platform/PathWalk.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace qv::platform {
namespace {

// Large enough that the system-call cost vanishes, small enough to stay in
// the CPU caches while both blocks are compared.
constexpr std::size_t kBlockSize = 256 * 1024;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// Each comparing thread keeps its two buffers for the life of the thread.
char* threadBuffer(int which) {
    thread_local std::unique_ptr<void, FreeDeleter> buffers[2];
    if (!buffers[which]) buffers[which].reset(std::aligned_alloc(4096, kBlockSize));
    return static_cast<char*>(buffers[which].get());
}

// Fills the buffer unless the file ends first; returns the bytes read or -1.
ssize_t readBlock(int fd, char* buffer, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, buffer + got, size - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

class Descriptor {
public:
    explicit Descriptor(const std::string& path) {
        UniqueFd fd;
        if (openLongPath(path, O_RDONLY, fd) == 0) m_fd = fd.release();
        if (m_fd >= 0) ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

}  // namespace

ContentResult FileSystem::compareContents(const std::string& a, const std::string& b,
                                          const std::atomic<bool>* cancelled, const ContentProgress& progress) {
    Descriptor first(a), second(b);
    if (first.fd() < 0 || second.fd() < 0) return ContentResult::CannotOpen;
    char* bufferA = threadBuffer(0);
    char* bufferB = threadBuffer(1);
    std::int64_t compared = 0;
    for (;;) {
        if (cancelled && cancelled->load(std::memory_order_relaxed)) return ContentResult::Cancelled;
        const ssize_t n1 = readBlock(first.fd(), bufferA, kBlockSize);
        const ssize_t n2 = readBlock(second.fd(), bufferB, kBlockSize);
        if (n1 < 0 || n2 < 0) return ContentResult::ReadFailed;
        // A file that grew or shrank while being read differs from its partner.
        if (n1 != n2) return ContentResult::Different;
        if (n1 == 0) return ContentResult::Equal;
        if (std::memcmp(bufferA, bufferB, static_cast<std::size_t>(n1)) != 0) return ContentResult::Different;
        compared += n1;
        if (progress) progress(compared);
    }
}

}  // namespace qv::platform
