#include "platform/Volumes.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qv::platform {
namespace {

// mountinfo escapes blanks, tabs, newlines and backslashes as octal (\040).
std::string unescapeMountField(const std::string& field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            int v = 0;
            bool octal = true;
            for (int k = 1; k <= 3; ++k) {
                char c = field[i + k];
                if (c < '0' || c > '7') { octal = false; break; }
                v = v * 8 + (c - '0');
            }
            if (octal) {
                out += static_cast<char>(v);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

bool isBelow(const std::string& path, const std::string& mountPoint) {
    if (mountPoint == "/") return true;
    return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
           (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The path itself when it exists, else its nearest existing ancestor, resolved.
std::string resolvedExisting(std::string path) {
    char buffer[PATH_MAX];
    while (!path.empty()) {
        if (::realpath(path.c_str(), buffer)) return buffer;
        size_t slash = path.rfind('/');
        if (slash == std::string::npos) break;
        path = slash == 0 ? std::string("/") : path.substr(0, slash);
        if (path == "/") return path;
    }
    return "/";
}

// The next field of a mountinfo line (fields are separated by single blanks).
std::string_view nextField(std::string_view& line) {
    const size_t end = line.find(' ');
    const std::string_view field = line.substr(0, end);
    line = end == std::string_view::npos ? std::string_view() : line.substr(end + 1);
    return field;
}

// The whole of a file the kernel writes on reading (its size is not known ahead).
std::string readProcFile(const char* path) {
    std::string out;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buffer[8192];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    return out;
}

}  // namespace

MountInfo mountAmong(std::string_view mountinfo, const std::string& resolvedPath) {
    // Split by hand: a stream per line cost more than the comparison of a small pair.
    MountInfo best;
    while (!mountinfo.empty()) {
        const size_t end = mountinfo.find('\n');
        std::string_view line = mountinfo.substr(0, end);
        mountinfo = end == std::string_view::npos ? std::string_view() : mountinfo.substr(end + 1);
        for (int skipped = 0; skipped < 4; ++skipped) nextField(line);   // id, parent, device, root
        const std::string mountPoint = unescapeMountField(std::string(nextField(line)));
        const std::string_view options = nextField(line);
        // Optional fields ("shared:1" …) up to the separator.
        while (!line.empty() && nextField(line) != "-") {}
        const std::string_view fsType = nextField(line), source = nextField(line);
        if (mountPoint.empty()) continue;
        // Later lines mount over earlier ones at the same place, so ">=" keeps the last.
        if (isBelow(resolvedPath, mountPoint) && mountPoint.size() >= best.mountPoint.size()) {
            best.mountPoint = mountPoint;
            best.fsType = std::string(fsType);
            best.source = unescapeMountField(std::string(source));
            best.readOnly = ("," + std::string(options) + ",").find(",ro,") != std::string::npos;
        }
    }
    return best;
}

MountInfo mountOf(const std::string& path) {
    return mountAmong(readProcFile("/proc/self/mountinfo"), resolvedExisting(path));
}

bool isCaseSensitive(const std::string& path) {
    const std::string type = mountOf(path).fsType;
    if (type == "vfat" || type == "msdos" || type == "exfat" || type == "cifs" || type == "smb3") return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return true;
    int flags = 0;
    const bool casefold = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & 0x40000000 /* FS_CASEFOLD_FL */);
    ::close(fd);
    return !casefold;
}

}  // namespace qv::platform
