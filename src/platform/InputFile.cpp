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
    // O_NONBLOCK stays: Linux file systems serve reads of a regular file as
    // blocking ones whatever the flag, and clearing it would cost a call per
    // file. Should one answer EAGAIN all the same, the flag goes then.
    m_fd = fd;
    m_size = static_cast<std::int64_t>(st.st_size);
    m_blocks = static_cast<std::int64_t>(st.st_blocks);
    m_blocking = false;
    return {};
}

ssize_t InputFile::read(char* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, size);
        if (n >= 0 || !retry()) return n;
    }
}

ssize_t InputFile::readAt(char* buffer, std::size_t size, std::int64_t offset) {
    for (;;) {
        const ssize_t n = ::pread(m_fd, buffer, size, static_cast<off_t>(offset));
        if (n >= 0 || !retry()) return n;
    }
}

bool InputFile::retry() {
    if (errno == EINTR) return true;
    if (errno != EAGAIN || m_blocking) return false;
    m_blocking = true;
    const int flags = ::fcntl(m_fd, F_GETFL);
    return flags >= 0 && ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

InputStatus readInputFile(const std::string& path, std::int64_t limit, std::string& out, bool followLinks) {
    out.clear();
    InputFile file;
    if (InputStatus status = file.open(path, followLinks); !status.ok()) return status;
    if (file.size() > limit) return {InputProblem::TooLarge, 0};
    out.reserve(static_cast<std::size_t>(file.size()));
    char chunk[1 << 16];
    for (;;) {
        const ssize_t n = file.read(chunk, sizeof chunk);
        if (n < 0) {
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
