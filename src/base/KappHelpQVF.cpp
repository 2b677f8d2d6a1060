#include "base/KappHelpQVF.h"

#include "base/PathResolution.h"
#include "platform/FileSystem.h"
#include "platform/Volumes.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace qv {
namespace {

// Counters tried after the wished name; with the blank the wished name itself
// comes first, which makes 297 candidates.
constexpr int kLastCounter = 296;

// The bytes the kernel sees for `path`. A path holding NUL has no such
// form, so it comes back empty and every caller treats it as unusable.
std::string nativePath(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.contains('\0')) return {};
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

QString fromNative(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

bool statFollowing(const std::string& path, platform::EntryStat& st) {
    return !path.empty() && platform::systemFileSystem().statPath(path, true, st) == 0;
}

bool isFolder(const std::string& path) {
    platform::EntryStat st;
    return statFollowing(path, st) && st.type == platform::EntryType::Folder;
}

// The folder part of a path the way a path string loses its last component:
// "/a/b" → "/a", "/a" → "/", "a" → "".
std::string withoutLastComponent(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The device of the root of the file system that holds `path`, or false.
bool volumeRootDevice(std::string path, std::uint64_t& device) {
    platform::EntryStat st;
    while (!statFollowing(path, st) && path.size() > 1) path = withoutLastComponent(path);
    if (path.empty() || !statFollowing(path, st)) return false;
    const platform::MountInfo mount = platform::mountOf(path);
    if (mount.mountPoint.empty() || !statFollowing(mount.mountPoint, st)) return false;
    device = st.device;
    return true;
}

}  // namespace

std::uint64_t KappHelpQVF::SizeOfItem(const QString& path, bool withRsrc) {
    const std::string native = nativePath(path);
    if (native.empty()) return 0;
    platform::EntryStat st;
    if (platform::systemFileSystem().statPath(native, false, st) != 0) return 0;
    if (st.type != platform::EntryType::File && st.type != platform::EntryType::Symlink) return 0;
    const std::uint64_t size = st.size > 0 ? static_cast<std::uint64_t>(st.size) : 0;
    // The resource fork has no Linux counterpart; its length reads 0 rather
    // than being guessed from extended attributes, which are compared apart.
    const std::uint64_t forkSize = 0;
    return withRsrc ? size + forkSize : size;
}

QString KappHelpQVF::GetNewUniqueDir(const QString& folder, const QString& nameIn, bool addSpace) {
    const std::string nativeFolder = nativePath(folder);
    if (!isFolder(nativeFolder)) return {};
    // Not a name that could live in a folder.
    if (nameIn.isEmpty() || nameIn == QLatin1String(".") || nameIn == QLatin1String("..") ||
        nameIn.contains(QLatin1Char('/')) || nameIn.contains(QChar(0)))
        return {};

    // A leading dot marks a hidden name rather than an extension, and a
    // trailing dot leaves nothing to carry over, so both keep the whole name.
    QString stem = nameIn;
    QString extension;
    const qsizetype dot = nameIn.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && dot < nameIn.size() - 1) {
        stem = nameIn.left(dot);
        extension = nameIn.mid(dot + 1);
    }

    platform::FileSystem& fs = platform::systemFileSystem();
    // Only a definite "no such entry" frees a name: a dangling link still
    // blocks it, and so does a name the folder will not let us look up.
    auto isFree = [&](const QString& candidate) {
        platform::EntryStat st;
        return fs.statPath(joinPath(nativeFolder, nativePath(candidate)), false, st) == ENOENT;
    };

    if (addSpace && isFree(nameIn)) return nameIn;
    const QString separator = addSpace ? QStringLiteral(" ") : QString();
    for (int counter = 1; counter <= kLastCounter; ++counter) {
        QString candidate = stem + separator + QString::number(counter);
        if (!extension.isEmpty()) candidate += QLatin1Char('.') + extension;
        if (isFree(candidate)) return candidate;
    }
    return {};
}

bool KappHelpQVF::ItemsOnSameVolume(const QString& item, const QString& item2) {
    if (item.isEmpty() || item2.isEmpty()) return false;
    std::uint64_t device = 0, device2 = 0;
    if (!volumeRootDevice(nativePath(item), device) || !volumeRootDevice(nativePath(item2), device2)) return false;
    return device == device2;
}

QString KappHelpQVF::VolumeNameForPath(const QString& path) {
    const std::string native = nativePath(path);
    platform::EntryStat st;
    if (native.empty() || platform::systemFileSystem().statPath(native, false, st) != 0) return {};
    const std::string mountPoint = platform::mountOf(native).mountPoint;
    if (mountPoint.empty()) return {};
    return fromNative(lastPathComponent(mountPoint));
}

QString KappHelpQVF::VolumeMountPath(const QString& path) {
    const std::string native = nativePath(path);
    platform::EntryStat st;
    if (!statFollowing(native, st)) return {};
    return fromNative(platform::mountOf(native).mountPoint);
}

QString KappHelpQVF::GetPermString(std::uint16_t mode) {
    // Adding 0x6000 folds the file-type nibble so that the types worth a
    // letter land on 0..12 of this table; regular files wrap to 0xE000 and
    // take the fallback.
    static constexpr char kTypes[] = "l-s----pc-d-b";
    static constexpr std::uint16_t kBits[9] = {0x100, 0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
    static constexpr char kLetters[9] = {'r', 'w', 'x', 'r', 'w', 'x', 'r', 'w', 'x'};

    char out[11] = {};
    const auto folded = static_cast<std::uint16_t>(mode + 0x6000);
    out[0] = folded < 0xD000 ? kTypes[folded >> 12] : '-';
    for (int i = 0; i < 9; ++i) out[i + 1] = (mode & kBits[i]) ? kLetters[i] : '-';
    return QString::fromLatin1(out, 10);
}

QString KappHelpQVF::Ntempnam(const QString& templ) {
    const std::string native = nativePath(templ);
    if (native.empty()) return {};
    std::vector<char> buffer(native.begin(), native.end());
    buffer.push_back('\0');
    // Close-on-exec, as another thread may start a helper process before
    // the descriptor is closed below.
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) return {};
    ::close(fd);
    return fromNative(buffer.data());
}

bool KappHelpQVF::HasCustomIconAtPath(const QString& path) {
    // A custom icon is a flag in the Finder information, which Linux file
    // systems do not carry. Desktops that allow custom icons keep them in
    // their own metadata stores (GVfs's "metadata::custom-icon"), outside the
    // file, where neither a comparison nor a copy would see them; so no item
    // has one here.
    Q_UNUSED(path);
    return false;
}

bool KappHelpQVF::CreateAliasTo(const QString& item, const QString& dest) {
    if (item.isEmpty() || dest.isEmpty()) return false;
    std::string nativeItem = nativePath(item);
    const std::string nativeDest = nativePath(dest);
    if (nativeItem.empty() || nativeDest.empty()) return false;
    if (nativeItem[0] != '/') nativeItem = joinPath(nativePath(QDir::currentPath()), nativeItem);
    nativeItem = standardizePath(nativeItem);

    const std::string target = StringByResolvingSymlinksAndAliases(nativeItem);
    platform::EntryStat st;
    // An alias of nothing would be a dangling link from the start.
    if (target.empty() || target[0] != '/' || platform::systemFileSystem().statPath(target, false, st) != 0)
        return false;

    const std::string_view name = lastPathComponent(nativeItem);
    if (name.empty() || name == "/") return false;
    if (!isFolder(nativeDest)) return false;

    // symlink(2) refuses an existing name, so nothing is ever replaced.
    const std::string linkPath = joinPath(nativeDest, name);
    return ::symlink(target.c_str(), linkPath.c_str()) == 0;
}

QString KappHelpQVF::ArrayToString(const QStringList& strings) {
    QStringList sorted = strings;
    std::sort(sorted.begin(), sorted.end());
    return sorted.join(QStringLiteral(", "));
}

QString KappHelpQVF::ApplicationSupportFolder() {
    // Built from the generic location so the answer does not depend on the
    // organisation and application names a front end may or may not set.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty()) base = QDir::tempPath();
    return base + QStringLiteral("/Quorvane");
}

QString KappHelpQVF::ApplicationSupportDirectory() {
    const QString folder = ApplicationSupportFolder();
    if (!QDir().mkpath(folder)) return {};
    return folder;
}

QString KappHelpQVF::RealDirectory(int code) {
    // The codes are the standard-folder numbers that settings and callers
    // were written against; each maps to the per-user XDG folder that plays
    // the same part:
    //    1 applications  → the first system-wide "applications" data folder
    //                      (the one machine domain among the codes)
    //    5 library       → $XDG_DATA_HOME
    //    7 user home     → $HOME
    //    9 documents     → XDG documents folder
    //   12 desktop       → XDG desktop folder
    //   13 caches        → $XDG_CACHE_HOME
    //   14 app support   → $XDG_DATA_HOME
    //   15 downloads     → XDG download folder
    //   17 movies        → XDG videos folder
    //   18 music         → XDG music folder
    //   19 pictures      → XDG pictures folder
    //   22 preferences   → $XDG_CONFIG_HOME
    // Any other code has no counterpart and answers "".
    auto userLocation = [](QStandardPaths::StandardLocation location) {
        return QStandardPaths::writableLocation(location);
    };
    switch (code) {
    case 1: {
        const QStringList all = QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
        const QString user = userLocation(QStandardPaths::ApplicationsLocation);
        for (const QString& folder : all)
            if (folder != user) return folder;
        return QString();
    }
    case 5: return userLocation(QStandardPaths::GenericDataLocation);
    case 7: return QDir::homePath();
    case 9: return userLocation(QStandardPaths::DocumentsLocation);
    case 12: return userLocation(QStandardPaths::DesktopLocation);
    case 13: return userLocation(QStandardPaths::GenericCacheLocation);
    case 14: return userLocation(QStandardPaths::GenericDataLocation);
    case 15: return userLocation(QStandardPaths::DownloadLocation);
    case 17: return userLocation(QStandardPaths::MoviesLocation);
    case 18: return userLocation(QStandardPaths::MusicLocation);
    case 19: return userLocation(QStandardPaths::PicturesLocation);
    case 22: return userLocation(QStandardPaths::GenericConfigLocation);
    default: return QString();
    }
}

}  // namespace qv
