#include "support/TarBuilder.h"

#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace qv::test {

TarBuilder& TarBuilder::file(const QByteArray& path, const QByteArray& contents, int mode) {
    m_entries.push_back({Kind::File, path, contents, mode});
    return *this;
}
TarBuilder& TarBuilder::folder(const QByteArray& path) {
    m_entries.push_back({Kind::Folder, path, {}, 0755});
    return *this;
}
TarBuilder& TarBuilder::symlink(const QByteArray& path, const QByteArray& target) {
    m_entries.push_back({Kind::Symlink, path, target, 0777});
    return *this;
}
TarBuilder& TarBuilder::hardlink(const QByteArray& path, const QByteArray& target) {
    m_entries.push_back({Kind::Hardlink, path, target, 0644});
    return *this;
}
TarBuilder& TarBuilder::device(const QByteArray& path) {
    m_entries.push_back({Kind::Device, path, {}, 0600});
    return *this;
}

TarBuilder& TarBuilder::release(const QByteArray& version, int exitStatus) {
    folder("quorvane/");
    folder("quorvane/bin");
    file("quorvane/quorvane.release", version + '\n');
    return file("quorvane/bin/quorvane",
                "#!/bin/sh\necho 'quorvane " + version + "'\nexit " + QByteArray::number(exitStatus) + '\n', 0755);
}

QByteArray TarBuilder::bytes() const {
    archive* writer = archive_write_new();
    archive_write_set_format_pax_restricted(writer);
    archive_write_add_filter_xz(writer);
    QByteArray out(1 << 20, '\0');
    size_t used = 0;
    EXPECT_EQ(archive_write_open_memory(writer, out.data(), out.size(), &used), ARCHIVE_OK);
    for (const Entry& e : m_entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.path.constData());
        archive_entry_set_perm(entry, e.mode);
        archive_entry_set_mtime(entry, 1700000000, 0);
        switch (e.kind) {
        case Kind::File:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_size(entry, e.data.size());
            break;
        case Kind::Folder: archive_entry_set_filetype(entry, AE_IFDIR); break;
        case Kind::Symlink:
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_symlink(entry, e.data.constData());
            break;
        case Kind::Hardlink:
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_hardlink(entry, e.data.constData());
            break;
        case Kind::Device:
            archive_entry_set_filetype(entry, AE_IFCHR);
            archive_entry_set_rdev(entry, makedev(1, 3));
            break;
        }
        EXPECT_EQ(archive_write_header(writer, entry), ARCHIVE_OK) << archive_error_string(writer);
        if (e.kind == Kind::File) archive_write_data(writer, e.data.constData(), e.data.size());
        archive_entry_free(entry);
    }
    EXPECT_EQ(archive_write_close(writer), ARCHIVE_OK) << archive_error_string(writer);
    archive_write_free(writer);
    out.truncate(static_cast<qsizetype>(used));
    return out;
}

QByteArray TarBuilder::writeTo(const QString& path) const {
    const QByteArray archive = bytes();
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(archive);
    return archive;
}

}  // namespace qv::test
