#pragma once
// The release archive: a tar file (compressed as libarchive can read it)
// holding one folder, "quorvane", whose contents become the program's
// folder. Every entry is judged before anything is written: one absolute
// path, "..", link leading out of the folder (or through another link),
// device or other special file refuses the whole archive.

#include <QString>

namespace qv::update {

class ReleaseArchive {
public:
    // The folder inside the archive, and what it must hold.
    static constexpr char kTopFolder[] = "quorvane";
    static constexpr char kProgram[] = "quorvane/bin/quorvane";
    // Marks a program folder made from a release archive: only such a
    // folder is ever replaced by the updater.
    static constexpr char kReleaseMark[] = "quorvane/quorvane.release";

    explicit ReleaseArchive(QString path) : m_path(std::move(path)) {}

    // Reads every entry's header. Empty when the archive may be unpacked;
    // otherwise why not.
    QString inspect() const;

    // Unpacks into `folder`, which exists and is empty, so that the program
    // folder appears as folder/quorvane. Empty, or why it failed (what was
    // written stays for the caller to remove). Call inspect() first.
    QString unpack(const QString& folder) const;

private:
    QString m_path;
};

}  // namespace qv::update
