#include "platform/DurableFile.h"

#include "platform/OwnTemporaries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

namespace qv::platform {
namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

mode_t creationMode() {
    // umask() cannot be read without setting it, which would race with other threads.
    mode_t mask = 022;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Umask:", 0) == 0) {
            mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
            break;
        }
    return 0666 & ~mask;
}

int renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system without the flag: a hard link refuses an existing name too.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 0;
    }
    if (errno == EEXIST) return EEXIST;
    // No hard links either (FAT, some network shares): check, then rename.
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0) return EEXIST;
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

}  // namespace

DurableFile::~DurableFile() { abandon(); }

int DurableFile::open(const std::string& destination, bool replace) {
    abandon();
    m_error = 0;
    m_destination = destination;
    m_replace = replace;
    m_folder = folderOf(destination);
    struct stat existing {};
    const bool exists = lstat(destination.c_str(), &existing) == 0;
    if (exists && !replace) return EEXIST;
    if (exists && S_ISDIR(existing.st_mode)) return EISDIR;

    removeStaleTemporaries(m_folder);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = m_folder + "/" + temporaryName();
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return errno;
    }
    if (fd < 0) return EEXIST;
    flock(fd, LOCK_EX);
    markTemporary(fd);
    // A replaced file keeps its owner and permissions; a new one gets the
    // usual ones. Owner first: a change of owner clears the set-ID bits.
    const bool replacesFile = exists && S_ISREG(existing.st_mode);
    if (replacesFile) fchown(fd, existing.st_uid, existing.st_gid);
    fchmod(fd, replacesFile ? (existing.st_mode & 07777) : creationMode());
    m_fd = fd;
    m_temporary = temporary;
    return 0;
}

int DurableFile::write(std::string_view bytes) {
    if (m_fd < 0) return m_error ? m_error : EBADF;
    while (!bytes.empty() && m_error == 0) {
        const ssize_t done = ::write(m_fd, bytes.data(), bytes.size());
        if (done < 0) {
            if (errno != EINTR) m_error = errno;
            continue;
        }
        bytes.remove_prefix(static_cast<std::size_t>(done));
    }
    return m_error;
}

int DurableFile::commit() {
    if (m_fd < 0) return m_error ? m_error : EBADF;
    int error = m_error;
    if (error == 0 && fsync(m_fd) != 0) error = errno;
    if (error == 0) unmarkTemporary(m_fd);
    // Renamed while still open and locked, so no other run takes it for stale.
    if (error == 0)
        error = m_replace ? (std::rename(m_temporary.c_str(), m_destination.c_str()) == 0 ? 0 : errno)
                          : renameWithoutReplacing(m_temporary, m_destination);
    if (error != 0) {
        abandon();
        return error;
    }
    m_temporary.clear();
    close(m_fd);
    m_fd = -1;
    const int dirFd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        // The rename is done; a folder that cannot be flushed (some network
        // file systems refuse) does not undo it.
        fsync(dirFd);
        close(dirFd);
    }
    return 0;
}

void DurableFile::abandon() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    if (!m_temporary.empty()) {
        unlink(m_temporary.c_str());
        m_temporary.clear();
    }
}

}  // namespace qv::platform
