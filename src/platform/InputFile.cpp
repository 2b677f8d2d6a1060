#include "platform/InputFile.h"

#include "platform/PathWalk.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv::platform {

InputFile::~InputFile() {
    if (m_fd >= 0) ::close(m_fd);
}

InputStatus InputFile::open(const std::string& path, bool followLinks) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
    // O_NONBLOCK: a FIFO opens at once instead of waiting for a writer.
    // O_NOCTTY: a terminal never becomes ours by being read.
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (followLinks ? 0 : O_NOFOLLOW);
    UniqueFd opened;
    if (const int error = openLongPath(path, flags, opened)) return {InputProblem::CannotOpen, error};
    const int fd = opened.release();
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return {InputProblem::CannotOpen, error};
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return {InputProblem::NotRegularFile, 0};
    }
    // Regular files never block; blocking reads keep the callers simple.
    // The flags set here are all known, so no call is needed to read them.
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    m_fd = fd;
    m_size = static_cast<std::int64_t>(st.st_size);
    return {};
}

InputStatus readInputFile(const std::string& path, std::int64_t limit, std::string& out, bool followLinks) {
    out.clear();
    InputFile file;
    if (InputStatus status = file.open(path, followLinks); !status.ok()) return status;
    if (file.size() > limit) return {InputProblem::TooLarge, 0};
    out.reserve(static_cast<std::size_t>(file.size()));
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file.fd(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            out.clear();
            return {InputProblem::ReadFailed, error};
        }
        if (n == 0) return {};
        // A file that grows while it is read is held to the same limit.
        if (static_cast<std::int64_t>(out.size()) + n > limit) {
            out.clear();
            return {InputProblem::TooLarge, 0};
        }
        out.append(chunk, static_cast<std::size_t>(n));
    }
}

}  // namespace qv::platform
