#include "platform/EntryOwnership.h"

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv::platform {
namespace {

std::string userName(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{}, *found = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
    return found->pw_name ? found->pw_name : "";
}

std::string groupName(gid_t gid) {
    std::vector<char> buffer(16384);
    group entry{}, *found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
    return found->gr_name ? found->gr_name : "";
}

}  // namespace

int readOwnership(const std::string& path, bool followLinks, EntryOwnership& out) {
    struct stat st {};
    if ((followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) return errno;
    out.mode = st.st_mode;
    out.uid = st.st_uid;
    out.gid = st.st_gid;
    out.user = userName(st.st_uid);
    out.group = groupName(st.st_gid);
    return 0;
}

std::string permissionText(std::uint32_t mode) {
    std::string text = "---------";
    const char letters[] = "rwx";
    for (int i = 0; i < 9; ++i)
        if (mode & (1u << (8 - i))) text[std::size_t(i)] = letters[i % 3];
    const auto special = [&](std::uint32_t bit, std::size_t at, char withExec, char withoutExec) {
        if (mode & bit) text[at] = text[at] == 'x' ? withExec : withoutExec;
    };
    special(S_ISUID, 2, 's', 'S');
    special(S_ISGID, 5, 's', 'S');
    special(S_ISVTX, 8, 't', 'T');
    return text;
}

}  // namespace qv::platform
