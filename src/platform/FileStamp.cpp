#include "filecompare/FileStamp.h"

#include <QFile>

#include <sys/stat.h>

namespace qv {

FileStamp FileStamp::of(const QString& path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    stamp.ctimeNs = std::int64_t(st.st_ctim.tv_sec) * 1'000'000'000 + st.st_ctim.tv_nsec;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.mode = st.st_mode;
    return stamp;
}

}  // namespace qv
