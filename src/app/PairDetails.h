#pragma once
// What the inspector shows of the selected pair: for each side the kind,
// size, dates, permissions, owner, link target, tags and extended
// attributes, read from the file system when asked (a snapshot side gives
// what it recorded).

#include "platform/FileSystem.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <string>

namespace qv {

class KItem;

struct SideDetails {
    enum class Kind { Missing, File, Folder, Link, Other };
    Kind kind = Kind::Missing;
    QString path;
    int readError = 0;             // errno when the entry could not be read
    QString type;                  // the content type's description (files)
    std::int64_t size = -1;        // a folder: the total the comparison counted; -1 while unknown
    std::int64_t created = platform::kNoTime, modified = platform::kNoTime, accessed = platform::kNoTime;
    QString permissions;           // "rw-r--r-- (644)"
    QString owner;                 // "user:group" (numbers where a name is unknown)
    QString linkTarget;
    QStringList tags;
    QStringList attributes;        // names of the "user.*" extended attributes
    bool recorded = false;         // the side is a snapshot: only recorded values
};

class PairDetails {
public:
    // The details of an entry on disk (not following a final link).
    static SideDetails readEntry(const std::string& path, platform::FileSystem& fs = platform::systemFileSystem());
    // Both sides of a row of the comparison.
    static std::array<SideDetails, 2> of(const KItem& item, platform::FileSystem& fs = platform::systemFileSystem());
};

}  // namespace qv
