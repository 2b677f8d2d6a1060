#pragma once
// The copy engine of an execution: copies files and folder trees with their
// metadata, counts the bytes copied for the progress, spares destination
// files the comparison found equal, prunes a destination folder down to
// what its source holds, and asks what to do after an error.

#include "platform/FileCopy.h"
#include "platform/FileSystem.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <set>
#include <string>

namespace qv {

class KAuthCopy;
class KRootItem;
class UserPrompt;

// Told the bytes completed so far in the current run.
using CopiedBytesObserver = std::function<void(std::uint64_t completed)>;

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
    // Called for a file about to replace another, once its copy is complete
    // (see platform::CopyOptions::beforeReplace); empty for none.
    void setBeforeReplace(std::function<int(const std::string&)> hook) { m_beforeReplace = std::move(hook); }
    // Flushes the folders the run's copies changed; their files were each
    // flushed before being renamed into place.
    void flushFolders();

    // Copies `source` to `destination` (the entry itself, not into it).
    bool CopyItemFrom(const std::string& source, const std::string& destination, QString* error, bool toRight);
    // Tag names (when the source has any) and the modification date.
    bool CopyAttrsFrom(const std::string& source, const std::string& destination);
    // Removes what folder `destination` holds that `source` lacks, recursively.
    bool removeItemsInDest(const std::string& destination, const std::string& source, QString* error);
    static bool PathIsInsidePath(const std::string& path, const std::string& folder);
    // Asks whether to go on after an error; true unless the user chose to stop.
    bool ShowCopyError(const QString& error, bool fileError);

    KAuthCopy& authCopy() { return *m_auth; }
    bool elevationAllowed() const;

private:
    // `from` is the source's entry, `target` the destination's (nullptr when none).
    bool copyItemAtURL(const std::string& source, const std::string& destination, const platform::EntryStat& from,
                       const platform::EntryStat* target, bool spare, QString* error, bool toRight);
    bool copyFileWithProgress(const std::string& source, const std::string& destination,
                              const platform::EntryStat& from, const platform::EntryStat* target, bool spare,
                              bool toRight, QString* error);
    bool mergeFolder(const std::string& source, const std::string& destination, bool spare, QString* error,
                     bool toRight);
    bool isSpared(const std::string& source, const platform::EntryStat& from, const platform::EntryStat* target,
                  bool toRight) const;
    // Runs one platform copy call, moving its progress into the run's total.
    int countedCopy(const std::function<int(const platform::CopyOptions&)>& call);

    UserPrompt& m_prompt;
    std::unique_ptr<KAuthCopy> m_auth;
    KRootItem* m_root = nullptr;
    bool m_ownedByExecution = false;
    platform::CopyIo* m_io = nullptr;
    CopiedBytesObserver m_observer;
    std::uint64_t m_total = 0;
    std::uint64_t m_completed = 0;
    std::string iSourcePath;
    std::set<std::string> m_foldersToFlush;
    std::set<std::string> m_sweptFolders;
    std::function<int(const std::string&)> m_beforeReplace;
};

// The text of an errno value.
QString errorText(int error);

}  // namespace qv
