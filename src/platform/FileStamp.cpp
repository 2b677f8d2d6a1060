#include "platform/FileStamp.h"

#include "platform/FileTime.h"

#include <sys/stat.h>

namespace qv::platform {

FileStamp FileStamp::of(const std::string& path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    // A far date (a damaged or hostile file system) must not overflow nanoseconds.
    stamp.mtimeNs = timeFromParts(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    stamp.ctimeNs = timeFromParts(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.mode = st.st_mode;
    return stamp;
}

}  // namespace qv::platform
