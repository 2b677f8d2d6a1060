#pragma once
// The copy engine of an execution: copies files and folder trees with their
// metadata, counts the bytes copied for the progress, spares destination
// files the comparison found equal, prunes a destination folder down to
// what its source holds, and asks what to do after an error. Entries are
// named by a folder held open and a name in it (platform/PathWalk.h); what
// a copy replaces or prunes goes where its owner's disposal says.

#include "platform/FileCopy.h"
#include "platform/FileSystem.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace qv {

class KAuthCopy;
class KRootItem;
class UserPrompt;

// Told the bytes completed so far in the current run.
using CopiedBytesObserver = std::function<void(std::uint64_t completed)>;

// What becomes of an entry a copy replaced (`replaced`: it now stands at
// `entry`, a passing name beside the copy) or prunes from a destination
// folder (`replaced` false: it stands under its own name). `path` is where
// it stood. Returns 0 once the entry is gone from there, or an errno.
using EntryDisposer =
    std::function<int(const platform::EntryAt& entry, const std::string& path, bool folder, bool replaced)>;

class KCopyItem {
public:
    explicit KCopyItem(UserPrompt& prompt);
    ~KCopyItem();

    std::atomic<bool> iCancelRequested{false};
    bool iTryAdminCopy = true;          // failed operations may be repeated with administrator rights
    bool iUsrStopBecsuseError = false;  // the user chose to stop after an error
    bool iDontShowError = false;        // the user asked not to see further error questions
    bool iDontOverIdent = false;        // spare destination files the comparison found equal

    void SetObserver(CopiedBytesObserver observer, std::uint64_t bytesToCopy);
    void RemoveObserver();
    // Adds work that was done without copying (a spared file, a delete).
    void advance(std::uint64_t bytes);

    // The comparison the execution works on; `ownedByExecution` allows the
    // elevated retry (only ever used when the prompt shows a user interface).
    void setIModule(KRootItem* root, bool ownedByExecution);
    // Fault injection for tests.
    void setCopyIo(platform::CopyIo* io) { m_io = io; }
    platform::CopyIo* copyIo() const { return m_io; }
    // Where replaced and pruned entries go; without one they are removed for
    // good. With `keepReplacedFiles`, a replaced file or link goes there too
    // (else it is renamed over in one step).
    void setDisposer(EntryDisposer disposer, bool keepReplacedFiles);
    // Flushes the folders the run's copies changed; their files were each
    // flushed before being renamed into place.
    void flushFolders();

    // Copies `source` to `destination` (the entry itself, not into it).
    bool CopyItemFrom(const platform::HeldEntry& source, const platform::HeldEntry& destination, QString* error,
                      bool toRight);
    // Copies an entry where nothing stands (into an archive on another
    // volume): no spare rule, nothing disposed of. Returns 0 or an errno.
    int copyAside(const platform::EntryAt& source, const platform::EntryAt& destination);
    // Tag names (when the source has any) and the modification date.
    // Returns 0 or the errno of the first step that failed.
    int CopyAttrsFrom(const platform::EntryAt& source, const platform::EntryAt& destination);
    static bool PathIsInsidePath(const std::string& path, const std::string& folder);
    // Asks whether to go on after an error; true unless the user chose to stop.
    bool ShowCopyError(const QString& error, bool fileError);

    KAuthCopy& authCopy() { return *m_auth; }
    bool elevationAllowed() const;
    // Whether an error is one that administrator rights could overcome.
    static bool mayElevate(int error);

private:
    // An entry in a folder someone else holds open, and the path it stands at.
    struct Spot {
        platform::EntryAt at;
        std::string path;
    };

    // `from` is the source's entry, `target` the destination's (nullptr when none).
    bool copyItemAtURL(const Spot& source, const Spot& destination, const platform::EntryStat& from,
                       const platform::EntryStat* target, bool spare, int& error, bool toRight);
    bool copyFileWithProgress(const Spot& source, const Spot& destination, const platform::EntryStat& from,
                              const platform::EntryStat* target, bool spare, bool toRight, int& error);
    bool mergeFolder(const Spot& source, const Spot& destination, bool spare, int& error, bool toRight);
    // Removes what folder `destination` holds that `source` lacks (its own
    // level: the merge of each subfolder prunes that subfolder).
    bool removeItemsInDest(const Spot& destination, const Spot& source, int& error);
    bool isSpared(const std::string& source, const platform::EntryStat& from, const platform::EntryStat* target,
                  bool toRight) const;
    // Runs one platform copy call, moving its progress into the run's total.
    // `destination` is the path the call writes to, for the disposer.
    int countedCopy(const std::string& destination, const std::function<int(const platform::CopyOptions&)>& call);
    bool elevatedCopy(const platform::HeldEntry& source, const platform::HeldEntry& destination);

    UserPrompt& m_prompt;
    std::unique_ptr<KAuthCopy> m_auth;
    KRootItem* m_root = nullptr;
    bool m_ownedByExecution = false;
    platform::CopyIo* m_io = nullptr;
    CopiedBytesObserver m_observer;
    std::uint64_t m_total = 0;
    std::uint64_t m_completed = 0;
    platform::FolderFlushes m_foldersToFlush;
    std::set<platform::FolderKey> m_sweptFolders;
    EntryDisposer m_disposer;
    bool m_keepReplacedFiles = false;
};

// The text of an errno value (and of the copy's own codes).
QString errorText(int error);

}  // namespace qv
