#pragma once
// Stateless file-system conveniences shared by the scan, snapshots,
// synchronisation and the file comparison. None of them keeps state; a
// failure shows only as an empty or false result.

#include <QString>
#include <QStringList>

#include <cstdint>

namespace qv {

class KappHelpQVF {
public:
    KappHelpQVF() = delete;

    // Size in bytes of the item at `path` (0 when empty, missing or unreadable).
    // Only regular files and symbolic links (the length of the stored
    // destination) have a size; folders and special files count as 0.
    // Linux files have no resource fork: its length reads 0, so `withRsrc`
    // never changes the result.
    static std::uint64_t SizeOfItem(const QString& path, bool withRsrc);

    // A name that is free inside `folder`, derived from `nameIn`: "a.txt",
    // "a 1.txt" … "a 296.txt" with `addSpace`, "a1.txt" … "a296.txt" without
    // (the wished name itself is then never offered). Empty when `folder` is
    // not a folder or every candidate is taken.
    static QString GetNewUniqueDir(const QString& folder, const QString& nameIn, bool addSpace);

    // Whether both paths lie on one file system. A path still to be created is
    // judged by its nearest existing ancestor.
    static bool ItemsOnSameVolume(const QString& item, const QString& item2);

    // The display name of the volume holding `path`: the last component of
    // its mount point, "/" for the root file system. Empty when the path does
    // not exist.
    static QString VolumeNameForPath(const QString& path);

    // The mount point of the file system holding `path`; empty when the path
    // cannot be reached.
    static QString VolumeMountPath(const QString& path);

    // "drwxr-xr-x" and the like: a type letter and the nine permission bits.
    static QString GetPermString(std::uint16_t mode);

    // Creates an empty file from `templ` (which must end in at least six
    // "X") and returns its path; empty when nothing could be created.
    static QString Ntempnam(const QString& templ);

    // Always false on Linux: see the definition.
    static bool HasCustomIconAtPath(const QString& path);

    // Writes a symbolic link named after the item's last component into the
    // folder `dest`, pointing at the item's absolute, resolved path. False on
    // any failure, and an existing entry of that name is never replaced.
    static bool CreateAliasTo(const QString& item, const QString& dest);

    // The strings sorted and joined with ", ".
    static QString ArrayToString(const QStringList& strings);

    // The per-user folder where this application keeps its data.
    static QString ApplicationSupportFolder();
    // The same folder, created when missing; empty when it cannot be made.
    static QString ApplicationSupportDirectory();

    // The path of a standard folder, by its numeric code; "" for a code
    // without a Linux counterpart. The codes are listed at the definition.
    static QString RealDirectory(int code);
};

}  // namespace qv
