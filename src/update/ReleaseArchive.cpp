#include "update/ReleaseArchive.h"

#include "base/Messages.h"

#include <QByteArrayList>
#include <QFile>
#include <QSet>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace qv::update {
namespace {

struct ReadFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteFree {
    void operator()(archive* a) const { archive_write_free(a); }
};
using Reader = std::unique_ptr<archive, ReadFree>;
using DiskWriter = std::unique_ptr<archive, WriteFree>;

constexpr size_t kBlockSize = 64 * 1024;

Reader openReader(const QString& path) {
    Reader reader(archive_read_new());
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_tar(reader.get());
    // A file that cannot be opened leaves the reader failed: its first header read reports why.
    archive_read_open_filename(reader.get(), QFile::encodeName(path).constData(), kBlockSize);
    return reader;
}

QString archiveError(archive* a) {
    const char* text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("?");
}

QString shown(const QByteArray& path) { return QString::fromUtf8(path); }

// A path's components without "" and "."; false for an absolute path or one with "..".
enum class PathVerdict { Ok, Absolute, DotDot };
PathVerdict components(const QByteArray& path, QByteArrayList& out) {
    out.clear();
    if (path.startsWith('/')) return PathVerdict::Absolute;
    for (const QByteArray& part : path.split('/')) {
        if (part.isEmpty() || part == ".") continue;
        if (part == "..") return PathVerdict::DotDot;
        out.append(part);
    }
    return PathVerdict::Ok;
}

QString verdictText(PathVerdict verdict, const QByteArray& path) {
    return Messages::format(verdict == PathVerdict::Absolute ? "updateEntryAbsolute" : "updateEntryDotDot", shown(path));
}

struct Entry {
    QByteArrayList path;
    QByteArray linkTarget;   // for a symbolic link
};

// Where a link's target lies, judged by its components alone; false when it
// leaves the top folder or passes through another link (whose own target
// the kernel would follow, so a string check could not see where it leads).
bool linkStaysInside(const Entry& link, const QSet<QByteArray>& links) {
    if (link.linkTarget.startsWith('/') || link.linkTarget.isEmpty()) return false;
    QByteArrayList at = link.path.mid(0, link.path.size() - 1);
    const QByteArrayList parts = link.linkTarget.split('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray& part = parts[i];
        if (part.isEmpty() || part == ".") continue;
        if (part == "..") {
            if (at.size() <= 1) return false;   // out of "quorvane" itself
            at.removeLast();
            continue;
        }
        at.append(part);
        const bool last = i == parts.size() - 1;
        if (!last && links.contains(at.join('/'))) return false;
    }
    return !at.isEmpty();
}

}  // namespace

QString ReleaseArchive::inspect() const {
    Reader reader = openReader(m_path);
    archive_entry* header = nullptr;
    std::vector<Entry> symlinks;
    QSet<QByteArray> paths, files, links;
    QByteArrayList parts;
    for (;;) {
        const int status = archive_read_next_header(reader.get(), &header);
        if (status == ARCHIVE_EOF) break;
        if (status < ARCHIVE_WARN) return Messages::format("updateArchiveBroken", archiveError(reader.get()));
        const QByteArray path = archive_entry_pathname(header);
        if (const PathVerdict v = components(path, parts); v != PathVerdict::Ok) return verdictText(v, path);
        if (parts.isEmpty() || parts.first() != kTopFolder) return Messages::format("updateEntryOutsideTop", shown(path));
        const QByteArray joined = parts.join('/');
        if (const char* hardlink = archive_entry_hardlink(header)) {
            // A hard link names an earlier file of the archive; anything else would reach outside.
            QByteArrayList target;
            if (components(hardlink, target) != PathVerdict::Ok || !files.contains(target.join('/')))
                return Messages::format("updateEntryLinkOutside", shown(path));
            files.insert(joined);
        } else {
            switch (archive_entry_filetype(header)) {
            case AE_IFREG: files.insert(joined); break;
            case AE_IFDIR: break;
            case AE_IFLNK:
                links.insert(joined);
                symlinks.push_back({parts, QByteArray(archive_entry_symlink(header))});
                break;
            default: return Messages::format("updateEntrySpecial", shown(path));
            }
        }
        paths.insert(joined);
        // Reading the data checks it: a truncated archive fails here, not halfway through unpacking.
        if (archive_read_data_skip(reader.get()) < ARCHIVE_WARN)
            return Messages::format("updateArchiveBroken", archiveError(reader.get()));
    }
    for (const Entry& link : symlinks)
        if (!linkStaysInside(link, links)) return Messages::format("updateEntryLinkOutside", shown(link.path.join('/')));
    // Nothing may be written through a link, wherever the link points.
    for (const QByteArray& path : paths) {
        const QByteArrayList p = path.split('/');
        for (qsizetype n = 1; n < p.size(); ++n)
            if (links.contains(p.mid(0, n).join('/'))) return Messages::format("updateEntryLinkOutside", shown(path));
    }
    if (!files.contains(kProgram) || !files.contains(kReleaseMark)) return Messages::text("updateArchiveNoProgram");
    return {};
}

QString ReleaseArchive::unpack(const QString& folder) const {
    Reader reader = openReader(m_path);
    DiskWriter writer(archive_write_disk_new());
    // Owners are not restored: the files belong to whoever installs. The
    // secure flags repeat inspect()'s rules inside libarchive as a second guard.
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_TIME |
                                                     ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                     ARCHIVE_EXTRACT_NO_OVERWRITE);
    const QByteArray base = QFile::encodeName(folder) + '/';
    archive_entry* header = nullptr;
    QByteArrayList parts;
    for (;;) {
        const int status = archive_read_next_header(reader.get(), &header);
        if (status == ARCHIVE_EOF) break;
        if (status < ARCHIVE_WARN) return Messages::format("updateArchiveBroken", archiveError(reader.get()));
        const QByteArray path = archive_entry_pathname(header);
        if (components(path, parts) != PathVerdict::Ok) return verdictText(PathVerdict::DotDot, path);
        archive_entry_set_pathname(header, (base + parts.join('/')).constData());
        if (const char* hardlink = archive_entry_hardlink(header)) {
            QByteArrayList target;
            components(hardlink, target);
            archive_entry_set_hardlink(header, (base + target.join('/')).constData());
        }
        // A program folder has no use for set-user-ID or set-group-ID bits.
        archive_entry_set_perm(header, archive_entry_perm(header) & 0777);
        if (archive_write_header(writer.get(), header) < ARCHIVE_WARN)
            return Messages::format("updateUnpackFailed", shown(path), archiveError(writer.get()));
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        for (;;) {
            const int read = archive_read_data_block(reader.get(), &block, &size, &offset);
            if (read == ARCHIVE_EOF) break;
            if (read < ARCHIVE_WARN) return Messages::format("updateArchiveBroken", archiveError(reader.get()));
            if (archive_write_data_block(writer.get(), block, size, offset) < ARCHIVE_WARN)
                return Messages::format("updateUnpackFailed", shown(path), archiveError(writer.get()));
        }
        if (archive_write_finish_entry(writer.get()) < ARCHIVE_WARN)
            return Messages::format("updateUnpackFailed", shown(path), archiveError(writer.get()));
    }
    // Folder times and modes are set at the end.
    if (archive_write_close(writer.get()) < ARCHIVE_WARN)
        return Messages::format("updateUnpackFailed", folder, archiveError(writer.get()));
    return {};
}

}  // namespace qv::update
