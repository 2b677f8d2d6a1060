#include "platform/RunLock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>

namespace qv::platform {
namespace {

using FolderId = std::pair<dev_t, ino_t>;

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

// Makes the folders of `path` as needed (mode 0700) and opens the last,
// refused unless it is a real folder of the user's.
int openPrivatePath(const std::string& path, UniqueFd& out) {
    UniqueFd at;
    if (int error = openFolder("/", at)) return error;
    std::size_t start = 1;
    while (start <= path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string part = path.substr(start, slash - start);
        start = slash + 1;
        if (part.empty()) continue;
        if (::mkdirat(at.get(), part.c_str(), 0700) != 0 && errno != EEXIST) return errno;
        const bool last = start > path.size();
        // The user's own folders above may be links; the lock folder may not.
        const int fd = ::openat(at.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (last ? O_NOFOLLOW : 0));
        if (fd < 0) return errno;
        at.reset(fd);
    }
    struct stat st {};
    if (::fstat(at.get(), &st) != 0) return errno;
    if (st.st_uid != ::getuid()) return EPERM;
    out = std::move(at);
    return 0;
}

// The folder and every folder above it, each by its identity.
int foldersUpFrom(const std::string& root, std::vector<FolderId>& out) {
    char resolved[PATH_MAX];
    if (!::realpath(root.c_str(), resolved)) return errno;
    std::string path = resolved;
    while (true) {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return errno;
        out.emplace_back(st.st_dev, st.st_ino);
        if (path == "/") return 0;
        const std::size_t slash = path.rfind('/');
        path = slash == 0 ? std::string("/") : path.substr(0, slash);
    }
}

}  // namespace

std::string lockFolder() {
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && runtime[0] == '/')
        return std::string(runtime) + "/quorvane";
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && cache[0] == '/')
        return std::string(cache) + "/quorvane/locks";
    return homeFolder() + "/.cache/quorvane/locks";
}

int RunLock::acquire(const std::vector<std::string>& roots, std::string& busy) {
    release();
    // One lock per folder, the strongest any root asks of it: a lock file
    // opened twice by one process would conflict with itself.
    std::map<FolderId, bool> exclusive;
    std::map<FolderId, std::string> rootOf;
    for (const std::string& root : roots) {
        std::vector<FolderId> chain;
        if (int error = foldersUpFrom(root, chain)) {
            // A folder that is not there is reported by the comparison; nothing there to change.
            if (error == ENOENT || error == ENOTDIR) continue;
            busy = root;
            return error;
        }
        for (std::size_t i = 0; i < chain.size(); ++i) {
            const bool own = i == 0;
            auto [it, fresh] = exclusive.emplace(chain[i], own);
            if (!fresh && own) it->second = true;
            rootOf.emplace(chain[i], root);
            if (own) rootOf[chain[i]] = root;
        }
    }
    UniqueFd folder;
    if (int error = openPrivatePath(lockFolder(), folder)) {
        busy = roots.empty() ? std::string() : roots.front();
        return error;
    }
    for (const auto& [id, own] : exclusive) {
        const std::string name = std::to_string(id.first) + "-" + std::to_string(id.second);
        UniqueFd fd(::openat(folder.get(), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!fd.valid() || ::flock(fd.get(), (own ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
            const int error = errno;
            busy = rootOf[id];
            release();
            return error == EAGAIN ? EWOULDBLOCK : error;
        }
        m_held.push_back(std::move(fd));
    }
    return 0;
}

}  // namespace qv::platform
