#include "platform/Volumes.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <sstream>
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

}  // namespace

MountInfo mountOf(const std::string& path) {
    const std::string resolved = resolvedExisting(path);
    MountInfo best;
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, devnum, root, mountPoint, options;
        fields >> id >> parent >> devnum >> root >> mountPoint >> options;
        std::string token;
        while (fields >> token && token != "-") {}
        std::string fsType, source, superOptions;
        fields >> fsType >> source >> superOptions;
        mountPoint = unescapeMountField(mountPoint);
        // Later lines mount over earlier ones at the same place, so ">=" keeps the last.
        if (isBelow(resolved, mountPoint) && mountPoint.size() >= best.mountPoint.size()) {
            best.mountPoint = mountPoint;
            best.fsType = fsType;
            best.source = unescapeMountField(source);
            best.readOnly = ("," + options + ",").find(",ro,") != std::string::npos;
        }
    }
    return best;
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
