#include "platform/Trash.h"

#include "platform/Volumes.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace qv::platform {
namespace {

// Room left in a 255-byte name for ".trashinfo" and a ".NNNN" counter.
constexpr std::size_t kMaxBaseName = 230;

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Absolute, without "." and ".." components and repeated slashes, but
// without resolving links: the entry itself is what goes to the trash.
int absolutePath(const std::string& path, std::string& out) {
    std::string full = path;
    if (full.empty()) return ENOENT;
    if (full.front() != '/') {
        std::vector<char> cwd(4096);
        while (!::getcwd(cwd.data(), cwd.size())) {
            if (errno != ERANGE) return errno;
            cwd.resize(cwd.size() * 2);
        }
        full = std::string(cwd.data()) + "/" + full;
    }
    std::vector<std::string> parts;
    std::size_t pos = 0;
    while (pos <= full.size()) {
        const std::size_t slash = std::min(full.find('/', pos), full.size());
        const std::string part = full.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    out.clear();
    for (const auto& part : parts) out += "/" + part;
    if (out.empty()) out = "/";
    return 0;
}

std::string homeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}

std::string dataHome() {
    // A relative value is invalid and ignored.
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && xdg[0] == '/') return xdg;
    const std::string home = homeFolder();
    return home.empty() ? std::string() : home + "/.local/share";
}

// The device of the nearest existing ancestor: where `path` would be made.
int deviceWhereMade(std::string path, dev_t& device) {
    while (true) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            device = st.st_dev;
            return 0;
        }
        if (errno != ENOENT || path == "/") return errno;
        path = folderOf(path);
    }
}

// A folder that must be a real folder of ours, never a link someone
// planted: made when missing, opened without following, and checked.
int openPrivateFolder(int parent, const char* name, UniqueFd& out) {
    if (::mkdirat(parent, name, 0700) != 0 && errno != EEXIST) return errno;
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno == ELOOP ? ENOTDIR : errno;
    out.reset(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0) return errno;
    if (st.st_uid != ::getuid()) return ENOTDIR;
    return 0;
}

int ensureFoldersWithParents(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    if (errno != ENOENT) return errno;
    if (path != "/")
        if (int error = ensureFoldersWithParents(folderOf(path))) return error;
    // The data home and its parents are private to the user by convention.
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    return 0;
}

// A trash held open: its files and info folders.
struct OpenTrash {
    std::string folder;
    std::string topdir;   // empty for the home trash, whose info holds absolute paths
    UniqueFd files, info;
};

// Opens `trash` (made inside `parent`, a folder the user named) and its two folders.
int openTrash(const std::string& trash, OpenTrash& out) {
    UniqueFd parent, top;
    if (int error = openFolder(folderOf(trash), parent)) return error;
    const std::string name = trash.substr(trash.rfind('/') + 1);
    if (int error = openPrivateFolder(parent.get(), name.c_str(), top)) return error;
    if (int error = openPrivateFolder(top.get(), "files", out.files)) return error;
    if (int error = openPrivateFolder(top.get(), "info", out.info)) return error;
    out.folder = trash;
    return 0;
}

int chooseTrash(const std::string& path, dev_t device, OpenTrash& choice) {
    const std::string home = dataHome();
    dev_t homeDevice = 0;
    // A data home that cannot be made (a file stands in its path) leaves no
    // home trash; the entry must not go to another trash on that account.
    if (!home.empty()) {
        if (int error = deviceWhereMade(home, homeDevice)) return error;
    }
    if (!home.empty() && homeDevice == device) {
        if (int error = ensureFoldersWithParents(home)) return error;
        choice.topdir.clear();
        return openTrash(home + "/Trash", choice);
    }

    // The mount of the entry's folder: the entry may be a link pointing elsewhere.
    const std::string topdir = mountOf(folderOf(path)).mountPoint;
    struct stat top {};
    if (topdir.empty() || ::stat(topdir.c_str(), &top) != 0 || top.st_dev != device) return EXDEV;
    const std::string uid = std::to_string(::getuid());
    choice.topdir = topdir;

    // An administrator's shared trash counts only when it is a real, sticky
    // folder; otherwise another user could redirect what we trash.
    const std::string shared = (topdir == "/" ? std::string() : topdir) + "/.Trash";
    struct stat sharedStat {};
    if (::lstat(shared.c_str(), &sharedStat) == 0 && S_ISDIR(sharedStat.st_mode) && (sharedStat.st_mode & S_ISVTX)) {
        if (openTrash(shared + "/" + uid, choice) == 0) return 0;
    }
    return openTrash((topdir == "/" ? std::string() : topdir) + "/.Trash-" + uid, choice);
}

// Whether the trash lies inside the entry (a folder cannot go into itself).
bool holdsTrash(const EntryAt& entry, int trashFiles) {
    struct stat item {};
    if (::fstatat(entry.folder, entry.name.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(item.st_mode))
        return false;
    UniqueFd at(::openat(trashFiles, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int depth = 0; at.valid() && depth < 4096; ++depth) {
        struct stat here {};
        if (::fstat(at.get(), &here) != 0) return false;
        if (here.st_dev == item.st_dev && here.st_ino == item.st_ino) return true;
        struct stat up {};
        if (::fstatat(at.get(), "..", &up, 0) != 0 || (up.st_dev == here.st_dev && up.st_ino == here.st_ino))
            return false;
        at.reset(::openat(at.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
    return false;
}

std::string percentEncoded(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' || c == '-' ||
            c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// Cuts at a character boundary so a shortened UTF-8 name stays valid.
std::string shortened(std::string name) {
    if (name.size() <= kMaxBaseName) return name;
    std::size_t cut = kMaxBaseName;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
    return name;
}

int writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    return 0;
}


// Removes the children of an open folder; `fd` is consumed.
int removeContents(int fd) {
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") names.emplace_back(name);
    }
    int first = 0;
    const int dirFd = ::dirfd(dir);
    for (const auto& name : names) {
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT && !first) first = errno;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            // O_NOFOLLOW: a folder swapped for a link meanwhile is not entered.
            const int child = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            int error = child < 0 ? errno : removeContents(child);
            if (::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT && !error) error = errno;
            if (error && !first) first = error;
        } else if (::unlinkat(dirFd, name.c_str(), 0) != 0 && errno != ENOENT && !first) {
            first = errno;
        }
    }
    ::closedir(dir);
    return first;
}

}  // namespace

int moveToTrash(const std::string& path, std::string* trashedPath) {
    std::string full;
    if (int error = absolutePath(path, full)) return error;
    if (full == "/") return EINVAL;
    HeldEntry entry;
    if (int error = entryAtPath(full, entry)) return error;
    return moveToTrashAt(entry.at(), full, trashedPath);
}

int moveToTrashAt(const EntryAt& entry, const std::string& originalPath, std::string* trashedPath) {
    std::string full;
    if (int error = absolutePath(originalPath, full)) return error;
    if (full == "/") return EINVAL;
    struct stat item {};
    if (::fstatat(entry.folder, entry.name.c_str(), &item, AT_SYMLINK_NOFOLLOW) != 0) return errno;

    OpenTrash trash;
    if (int error = chooseTrash(full, item.st_dev, trash)) return error;
    // The trash itself, or a folder holding it, cannot go into it.
    if (holdsTrash(entry, trash.files.get())) return EINVAL;

    std::string recorded = full;
    if (!trash.topdir.empty() && trash.topdir != "/") recorded = full.substr(trash.topdir.size() + 1);
    else if (!trash.topdir.empty()) recorded = full.substr(1);
    char date[32];
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const std::string contents =
        "[Trash Info]\nPath=" + percentEncoded(recorded) + "\nDeletionDate=" + date + "\n";

    // The info file is claimed first (O_EXCL), so two deletions never pick
    // the same name, and a name without info is never used. A name taken
    // in files/ meanwhile (the rename never replaces) moves on to the next.
    const std::string base = shortened(full.substr(full.rfind('/') + 1));
    const int files = trash.files.get(), info = trash.info.get();
    std::string target;
    for (int n = 1; target.empty(); ++n) {
        if (n > 100000) return EEXIST;
        const std::string name = n == 1 ? base : base + "." + std::to_string(n);
        struct stat taken {};
        if (::fstatat(files, name.c_str(), &taken, AT_SYMLINK_NOFOLLOW) == 0) continue;
        const std::string infoName = name + ".trashinfo";
        const int fd = ::openat(info, infoName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return errno;
        }
        int error = writeAll(fd, contents);
        if (error == 0 && ::fsync(fd) != 0) error = errno;
        ::close(fd);
        if (error == 0) {
            ::fsync(info);
            if (::renameat2(entry.folder, entry.name.c_str(), files, name.c_str(), RENAME_NOREPLACE) == 0)
                target = name;
            else
                error = errno;
        }
        if (error) {
            ::unlinkat(info, infoName.c_str(), 0);
            if (error != EEXIST) return error;
        }
    }
    // The entry must now be the one we moved, under the trash's files folder.
    struct stat moved {};
    if (::fstatat(files, target.c_str(), &moved, AT_SYMLINK_NOFOLLOW) != 0 || moved.st_ino != item.st_ino ||
        moved.st_dev != item.st_dev)
        return EIO;
    ::fsync(files);
    ::fsync(entry.folder);
    if (trashedPath) *trashedPath = trash.folder + "/files/" + target;
    return 0;
}

int removePermanently(const std::string& path) {
    HeldEntry entry;
    if (int error = entryAtPath(path, entry)) return error;
    return removePermanentlyAt(entry.at());
}

int removePermanentlyAt(const EntryAt& entry) {
    struct stat st {};
    if (::fstatat(entry.folder, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (!S_ISDIR(st.st_mode)) return ::unlinkat(entry.folder, entry.name.c_str(), 0) == 0 ? 0 : errno;
    const int fd = ::openat(entry.folder, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    int error = fd < 0 ? errno : removeContents(fd);
    if (::unlinkat(entry.folder, entry.name.c_str(), AT_REMOVEDIR) != 0 && !error) error = errno;
    return error;
}

}  // namespace qv::platform
