#pragma once
// Moving entries to the desktop's trash (the freedesktop.org layout that
// file managers read), and removing them for good.

#include "platform/PathWalk.h"

#include <string>

namespace qv::platform {

// Moves a file, link or folder into the trash of its own file system: the
// home trash ($XDG_DATA_HOME/Trash, by default ~/.local/share/Trash) when
// the entry lives on the same file system, otherwise $topdir/.Trash/$uid
// (when an administrator made $topdir/.Trash sticky) or $topdir/.Trash-$uid.
// Missing trash folders are made with mode 0700. The entry is only ever
// renamed, never copied: when no trash can be had on its file system the
// result is EXDEV (or the errno of making the trash) and the entry stays.
// On success `trashedPath`, when given, receives its new path.
// Returns 0 or an errno value.
// Every folder of the trash itself must be a real folder of the user's:
// one that is a link, or belongs to someone else, is never used (ENOTDIR).
int moveToTrash(const std::string& path, std::string* trashedPath = nullptr);

// The same for an entry reached through its folder. `originalPath` is the
// absolute path the entry is known by: the trash records it, names the
// trashed entry after its last component (the entry itself may stand under
// a passing name), and finds the entry's volume from it.
int moveToTrashAt(const EntryAt& entry, const std::string& originalPath, std::string* trashedPath = nullptr);

// Removes a file, a link or a folder tree, never following links (a link
// to a folder elsewhere is removed, not what it points to). Keeps going past
// entries it cannot remove and returns the first errno, or 0.
int removePermanently(const std::string& path);
int removePermanentlyAt(const EntryAt& entry);

}  // namespace qv::platform
