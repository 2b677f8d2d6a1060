#include "platform/PathAccess.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace qv::platform {

bool hasAccess(const std::string& path, bool forWrite) {
    if (path.empty()) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    int mode = forWrite ? W_OK : R_OK;
    if (S_ISDIR(st.st_mode)) mode |= X_OK;   // a folder that cannot be entered cannot be listed either
    return ::access(path.c_str(), mode) == 0;
}

int canonicalPath(const std::string& path, std::string& out) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) return errno;
    out = resolved;
    std::free(resolved);
    return 0;
}

}  // namespace qv::platform
