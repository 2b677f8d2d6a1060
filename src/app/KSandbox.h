#pragma once
// Access to the folders the user picks. Quorvane runs with the user's own
// rights, so a grant is given at once and never asks: it is the folder's path,
// remembered while in use, and whether the folder can be read or written is
// what access(2) says. The layer also answers whether one folder lies inside
// another, across links, for the folder panels and the nesting checks.

#include "platform/FileSystem.h"

#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace qv {

// A remembered grant, counted by its holders.
class KSandboxURL {
public:
    static std::shared_ptr<KSandboxURL> SandboxURL(const std::string& url, bool drop);

    void RetainAccess() { ++iRetain; }
    // Released more often than retained, the count stays at 0.
    void ReleaseAccess() {
        if (iRetain > 0) --iRetain;
    }
    bool accessOpen() const { return iRetain > 0; }

    // The same path, compared exactly.
    bool isEqual(const std::string& url) const { return iURL == url; }
    // The same path given the same way (panel or drop).
    bool isEqual(const KSandboxURL& other) const { return iURL == other.iURL && iDrop == other.iDrop; }

    bool iDrop = false;   // given by a drag and drop rather than chosen in a panel
    std::string iURL;
    int iRetain = 0;
};

class KSandbox {
public:
    // The application-wide layer.
    static KSandbox& shared();

    // Whether `folder` lies inside `parent`: textually (a trailing "/" keeps
    // "ab" out of "a"; letter case is ignored only where the parent's file
    // system ignores it), or, when equal paths count, by device and inode up
    // the folder's chain of parents, through the links it resolves to.
    static bool ThisIsParent(const std::string& parent, const std::string& folder, bool canBeEqual = true,
                             platform::FileSystem& fs = platform::systemFileSystem());

    // A grant for reading or writing the folder: its own path, to be handed
    // back to ReleaseAccesToFolder when the work is done.
    std::string GrantAccesToFolder(const std::string& folder, bool askUser, bool onlyThis, const QString& msg,
                                   bool forWrite, bool forceSelect = false);
    // The short form hands back a token with nothing to release.
    std::string GrantAccesToFolder(const std::string& folder, bool askUser, bool forWrite);
    void ReleaseAccesToFolder(const std::string& token);

    // What the kernel says this process may do with the path.
    bool IsAccessibleFromSandbox(const std::string& path, bool forWrite) const;

    // Remembers a folder the user handed over (a panel choice or a drop).
    bool SaveAccessToFolder(const std::string& url, bool drop);
    // The remembered grant whose folder holds `path`: any grant when
    // `drop` is false, else only one that came by drag and drop. "" for none.
    std::string GetParentOf(const std::string& path, bool canBeEqual, bool drop) const;
    // The position of a remembered grant, or -1.
    int IndexOfObject(const KSandboxURL& token) const;
    // The full-disk-access check: nothing guards the disk here, so access is granted and nothing is shown.
    static bool CheckForFDA() { return true; }

    const std::vector<std::shared_ptr<KSandboxURL>>& iSavedBookmarks() const { return m_saved; }
    // Forgets every remembered grant.
    void clear() { m_saved.clear(); }

private:
    std::vector<std::shared_ptr<KSandboxURL>> m_saved;
};

}  // namespace qv
