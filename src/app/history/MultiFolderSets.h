#pragma once
// Multi-folder sets: a side of a comparison that stands for several folders
// is a folder of symbolic links, one per member, kept in the application's
// data folder under "MultiFolders". A set lives as long as a history refers to it.

#include <QString>
#include <QStringList>

#include <set>

namespace qv {

class Settings;

class MultiFolderSets {
public:
    MultiFolderSets() = delete;

    // The folder that holds the sets ("" when the data folder is unknown).
    static QString setsFolder();
    // Whether a path is one of the sets.
    static bool isSet(const QString& path);
    // The names of the set's members (its links, hidden ones left out) sorted
    // without regard to case and joined with "+"; `components` gets their number.
    static QString MultiFolderName(const QString& setFolder, int* components = nullptr);

    // The sets that the folder history or the recently used folders refer to.
    static std::set<QString> referencedSets(Settings& settings);
    // Removes every set not in `keep`: its links, then the folder; a set
    // holding anything but links is left alone. Returns the number removed.
    // Safe to run on a worker thread.
    static int removeSetsExcept(const std::set<QString>& keep);
    // Removes those of `sets` that no history refers to.
    static void removeUnreferenced(const QStringList& sets, Settings& settings);
};

}  // namespace qv
