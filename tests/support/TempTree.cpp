#include "support/TempTree.h"

#include "platform/OwnTemporaries.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>
#include <fcntl.h>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace qv::test {
namespace {

// The names in the folder `fd` refers to, "." and ".." left out.
std::vector<std::string> namesAt(int fd) {
    std::vector<std::string> names;
    DIR* dir = ::fdopendir(::dup(fd));
    if (!dir) return names;
    ::rewinddir(dir);   // the duplicate shares its position with earlier passes
    while (const dirent* e = ::readdir(dir))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
    ::closedir(dir);
    return names;
}

// Removes the folder at `path` with everything below it, however deep:
// one descriptor walks down and back up through "..", so neither the
// length of a path nor the number of open files limits the depth. Tests
// may have taken permissions away: folders get theirs back before they are
// entered (never through a link, which would change what it points to).
void removeTree(const std::string& path) {
    ::chmod(path.c_str(), 0700);
    int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct Level {
        std::string name;
        std::set<std::string> entered;   // each subfolder is entered once, removable or not
    };
    std::vector<Level> levels(1);
    while (fd >= 0) {
        std::string next;
        for (const std::string& name : namesAt(fd)) {
            struct stat st {};
            if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (!S_ISDIR(st.st_mode)) ::unlinkat(fd, name.c_str(), 0);
            else if (next.empty() && !levels.back().entered.count(name)) next = name;
        }
        if (!next.empty()) {
            levels.back().entered.insert(next);
            ::fchmodat(fd, next.c_str(), 0700, 0);
            const int child = ::openat(fd, next.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0) continue;
            ::close(fd);
            fd = child;
            levels.push_back({next, {}});
            continue;
        }
        if (levels.size() == 1) break;
        const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = parent;
        if (fd >= 0) ::unlinkat(fd, levels.back().name.c_str(), AT_REMOVEDIR);
        levels.pop_back();
    }
    if (fd >= 0) ::close(fd);
    ::rmdir(path.c_str());
}

void makeParents(const std::string& path) {
    for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0755);
}

}  // namespace

TempTree::TempTree() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/qvtest-XXXXXX";
    char* made = ::mkdtemp(templ.data());
    if (!made) ADD_FAILURE() << "mkdtemp failed: " << std::strerror(errno);
    m_root = templ;
}

TempTree::~TempTree() { removeTree(m_root); }

std::string TempTree::path(const std::string& relative) const {
    return relative.empty() ? m_root : m_root + "/" + relative;
}

void TempTree::file(const std::string& relative, std::size_t size, char fill, std::int64_t mtimeNs) {
    fileWithText(relative, std::string(size, fill), mtimeNs);
}

void TempTree::fileWithText(const std::string& relative, const std::string& text, std::int64_t mtimeNs) {
    const std::string full = path(relative);
    makeParents(full);
    int fd = ::open(full.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << full << ": " << std::strerror(errno);
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
    setTime(relative, mtimeNs);
}

void TempTree::folder(const std::string& relative) {
    const std::string full = path(relative);
    makeParents(full + "/");
}

std::string TempTree::chain(const std::string& relative, int depth, const std::function<std::string(int)>& nameAt,
                            const std::string& bottomFile, const std::string& text) {
    folder(relative);
    std::string below;
    int fd = ::open(path(relative).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < depth && fd >= 0; ++level) {
        const std::string name = nameAt(level);
        EXPECT_EQ(::mkdirat(fd, name.c_str(), 0755), 0) << std::strerror(errno);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        below += (below.empty() ? "" : "/") + name;
    }
    EXPECT_GE(fd, 0) << std::strerror(errno);
    if (fd < 0) return below;
    if (!bottomFile.empty()) {
        const int file = ::openat(fd, bottomFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        EXPECT_GE(file, 0) << std::strerror(errno);
        EXPECT_EQ(::write(file, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(file);
    }
    ::close(fd);
    return below;
}

void TempTree::link(const std::string& relative, const std::string& target) {
    const std::string full = path(relative);
    makeParents(full);
    ASSERT_EQ(::symlink(target.c_str(), full.c_str()), 0) << full << ": " << std::strerror(errno);
}

void TempTree::socket(const std::string& relative) {
    const std::string full = path(relative);
    makeParents(full);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(full.size(), sizeof address.sun_path) << full;
    std::memcpy(address.sun_path, full.c_str(), full.size() + 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << full << ": " << std::strerror(errno);
    ::close(fd);
}

void TempTree::setTime(const std::string& relative, std::int64_t mtimeNs) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = mtimeNs / 1'000'000'000LL;
    times[0].tv_nsec = times[1].tv_nsec = mtimeNs % 1'000'000'000LL;
    ASSERT_EQ(::utimensat(AT_FDCWD, path(relative).c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

void TempTree::setAttribute(const std::string& relative, const std::string& name, const std::string& value) {
    ASSERT_EQ(::lsetxattr(path(relative).c_str(), name.c_str(), value.data(), value.size(), 0), 0)
        << relative << ": " << std::strerror(errno);
}

void TempTree::setTags(const std::string& relative, const std::string& commaSeparated) {
    setAttribute(relative, "user.xdg.tags", commaSeparated);
}

std::string TempTree::deadTemporary(const std::string& folder, const std::string& text) {
    const std::string name = platform::temporaryName();
    fileWithText(folder + "/" + name, text);
    const int fd = ::open(path(folder + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0);
    platform::markTemporary(fd);
    ::close(fd);
    return name;
}

void TempTree::truncate(const std::string& relative, std::int64_t size, std::int64_t mtimeNs) {
    ASSERT_EQ(::truncate(path(relative).c_str(), size), 0) << std::strerror(errno);
    setTime(relative, mtimeNs);
}

std::string TempTree::contents(const std::string& relative) const {
    std::string out;
    const int fd = ::open(path(relative).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return out;
}

bool TempTree::exists(const std::string& relative) const {
    struct stat st {};
    return ::lstat(path(relative).c_str(), &st) == 0;
}

}  // namespace qv::test
