#pragma once
// Writes tar archives entry by entry, including the hostile ones no tar
// command would make (absolute paths, "..", links out, devices), so the
// update tests can hand them to the installer.

#include <QByteArray>
#include <QString>

#include <vector>

namespace qv::test {

class TarBuilder {
public:
    TarBuilder& file(const QByteArray& path, const QByteArray& contents, int mode = 0644);
    TarBuilder& folder(const QByteArray& path);
    TarBuilder& symlink(const QByteArray& path, const QByteArray& target);
    TarBuilder& hardlink(const QByteArray& path, const QByteArray& target);
    TarBuilder& device(const QByteArray& path);

    // A program folder that passes the installer: the release mark and a
    // program that prints "quorvane VERSION" (or fails when `exitStatus` is not 0).
    TarBuilder& release(const QByteArray& version, int exitStatus = 0);

    // The archive, xz-compressed as releases are.
    QByteArray bytes() const;
    // Writes bytes() to `path`; returns the bytes.
    QByteArray writeTo(const QString& path) const;

private:
    enum class Kind { File, Folder, Symlink, Hardlink, Device };
    struct Entry {
        Kind kind;
        QByteArray path, data;
        int mode;
    };
    std::vector<Entry> m_entries;
};

}  // namespace qv::test
