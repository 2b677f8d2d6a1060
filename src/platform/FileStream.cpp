#include "platform/FileStream.h"

#include "platform/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {
namespace {

constexpr std::size_t kBlockSize = 256 * 1024;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

int readRegularFile(const std::string& path, bool followLinks, const BlockConsumer& consume,
                    const std::atomic<bool>* cancelled) {
    // Non-blocking so that opening a FIFO returns at once; it is refused below.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW);
    FileDescriptor fd(::open(path.c_str(), flags));
    if (fd.get() < 0) return errno == ELOOP ? EINVAL : errno;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) return errno;
    if (!S_ISREG(st.st_mode)) return EINVAL;
    thread_local std::unique_ptr<char[]> buffer(new char[kBlockSize]);
    for (;;) {
        if (cancelled && cancelled->load(std::memory_order_relaxed)) return ECANCELED;
        const ssize_t n = ::read(fd.get(), buffer.get(), kBlockSize);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        consume(buffer.get(), static_cast<std::size_t>(n));
    }
}

int FileSystem::readContents(const std::string& path, bool followLinks, const BlockConsumer& consume,
                             const std::atomic<bool>* cancelled) {
    return readRegularFile(path, followLinks, consume, cancelled);
}

}  // namespace qv::platform
