#include "platform/ExtendedAttributes.h"
#include "platform/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <string_view>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace qv::platform {
namespace {

bool unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

const char* const kTagsName = "user.xdg.tags";

// getxattrat (Linux 6.13) reads an attribute of a name inside an open folder,
// without walking the whole path again. Its number is the same on every
// architecture that has it; older kernels answer ENOSYS.
#ifndef SYS_getxattrat
#define SYS_getxattrat 464
#endif

struct XattrArgs {
    std::uint64_t value;
    std::uint32_t size;
    std::uint32_t flags;
};

std::atomic<bool> g_noGetxattrat{false};

ssize_t getTagsAt(int dirFd, const char* name, char* data, std::size_t size) {
    if (!g_noGetxattrat.load(std::memory_order_relaxed)) {
        XattrArgs args{reinterpret_cast<std::uintptr_t>(data), static_cast<std::uint32_t>(size), 0};
        const long n = ::syscall(SYS_getxattrat, dirFd, name, AT_SYMLINK_NOFOLLOW, kTagsName, &args, sizeof args);
        if (n >= 0 || errno != ENOSYS) return n;
        g_noGetxattrat.store(true);
    }
    // The folder by its descriptor's name in /proc, then the entry in it.
    const std::string path = "/proc/self/fd/" + std::to_string(dirFd) + "/" + name;
    return ::lgetxattr(path.c_str(), kTagsName, data, size);
}

// Reads with a size probe first; attributes may change in between, so retry on ERANGE.
template <class Probe, class Read>
int readSized(std::string& buffer, Probe probe, Read read) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        ssize_t size = probe();
        if (size < 0) return errno;
        buffer.resize(static_cast<size_t>(size));
        if (size == 0) return 0;
        ssize_t got = read(buffer.data(), buffer.size());
        if (got >= 0) {
            buffer.resize(static_cast<size_t>(got));
            return 0;
        }
        if (errno != ERANGE) return errno;
    }
    return ERANGE;
}

int getAttribute(const std::string& path, const std::string& name, bool followLinks, std::string& value) {
    auto probe = [&] {
        return followLinks ? ::getxattr(path.c_str(), name.c_str(), nullptr, 0)
                           : ::lgetxattr(path.c_str(), name.c_str(), nullptr, 0);
    };
    auto read = [&](char* data, size_t size) {
        return followLinks ? ::getxattr(path.c_str(), name.c_str(), data, size)
                           : ::lgetxattr(path.c_str(), name.c_str(), data, size);
    };
    return readSized(value, probe, read);
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

int readUserAttributes(const std::string& path, bool followLinks, AttributeMap& out) {
    out.clear();
    std::string names;
    auto probe = [&] { return followLinks ? ::listxattr(path.c_str(), nullptr, 0) : ::llistxattr(path.c_str(), nullptr, 0); };
    auto read = [&](char* data, size_t size) {
        return followLinks ? ::listxattr(path.c_str(), data, size) : ::llistxattr(path.c_str(), data, size);
    };
    if (int error = readSized(names, probe, read)) return unsupported(error) ? 0 : error;
    for (size_t pos = 0; pos < names.size();) {
        const std::string name(names.c_str() + pos);
        pos += name.size() + 1;
        if (name.rfind("user.", 0) != 0) continue;
        std::string value;
        int error = getAttribute(path, name, followLinks, value);
        if (error == ENODATA) continue;   // removed since the listing
        if (error) return error;
        out.emplace(name, std::move(value));
    }
    return 0;
}

int readUserAttributes(int fd, AttributeMap& out) {
    out.clear();
    std::string names;
    auto probe = [&] { return ::flistxattr(fd, nullptr, 0); };
    auto read = [&](char* data, size_t size) { return ::flistxattr(fd, data, size); };
    if (int error = readSized(names, probe, read)) return unsupported(error) ? 0 : error;
    for (size_t pos = 0; pos < names.size();) {
        const std::string name(names.c_str() + pos);
        pos += name.size() + 1;
        if (name.rfind("user.", 0) != 0) continue;
        std::string value;
        const int error = readSized(
            value, [&] { return ::fgetxattr(fd, name.c_str(), nullptr, 0); },
            [&](char* data, size_t size) { return ::fgetxattr(fd, name.c_str(), data, size); });
        if (error == ENODATA) continue;   // removed since the listing
        if (error) return error;
        out.emplace(name, std::move(value));
    }
    return 0;
}

std::optional<std::vector<std::string>> readTags(const std::string& path, bool followLinks) {
    std::string value;
    if (getAttribute(path, kTagsName, followLinks, value) != 0) return std::nullopt;
    return parseTags(value);
}

std::optional<std::vector<std::string>> parseTags(std::string_view value) {
    if (value.empty()) return std::nullopt;
    std::vector<std::string> tags;
    std::string_view rest(value);
    while (true) {
        const size_t comma = rest.find(',');
        const std::string_view tag = trimmed(rest.substr(0, comma));
        if (!tag.empty()) tags.emplace_back(tag);
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    if (tags.empty()) return std::nullopt;
    return tags;
}

int appendTagsAt(int dirFd, const char* name, std::string& out) {
    char small[1024];
    ssize_t n = getTagsAt(dirFd, name, small, sizeof small);
    if (n >= 0) {
        out.append(small, static_cast<std::size_t>(n));
        return 0;
    }
    if (errno != ERANGE) return errno;
    std::string value;
    const int error = readSized(value, [&] { return getTagsAt(dirFd, name, nullptr, 0); },
                                [&](char* data, std::size_t size) { return getTagsAt(dirFd, name, data, size); });
    if (error == 0) out += value;
    return error;
}

std::optional<std::vector<std::string>> FileSystem::readTags(const std::string& path, bool followLinks) {
    return platform::readTags(path, followLinks);
}

int writeTags(const std::string& path, const std::vector<std::string>& tags) {
    std::string value;
    for (const auto& tag : tags) {
        if (!value.empty()) value += ',';
        value += tag;
    }
    if (value.empty()) {
        // No tags is no attribute, as file managers leave it.
        if (::lremovexattr(path.c_str(), "user.xdg.tags") == 0 || errno == ENODATA) return 0;
        return errno;
    }
    return ::lsetxattr(path.c_str(), "user.xdg.tags", value.data(), value.size(), 0) == 0 ? 0 : errno;
}

}  // namespace qv::platform
