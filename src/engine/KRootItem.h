#pragma once
// The root of a comparison tree: a node that also carries the two root
// paths, the options of the run, the sort settings and the tree's lock.

#include "engine/KItem.h"
#include "engine/NodeStore.h"

#include <QRecursiveMutex>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace qv {

class KSnapshot;

// Where a run shows the progress of reading one large file. Called from
// the threads that compare; implementations hand the calls on.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void StartProgress(const std::string& fileName) = 0;
    virtual void SetProgressValue(double fraction) = 0;
    virtual void StopProgress() = 0;
};

class KRootItem : public KItem {
public:
    KRootItem();
    ~KRootItem();

    // A root for a folder path: both folder flags set, the side's date and name read.
    static std::unique_ptr<KRootItem> ItemWithFolder(const std::string& path, int side);
    void SetDateColumns(const std::string& path, int side);

    const std::string& PathForSide(int side) const;
    void setILeftPath(std::string path);
    void setIRightPath(std::string path);
    const std::string& iLeftPath() const { return m_leftPath; }
    const std::string& iRightPath() const { return m_rightPath; }
    QString FilesFolders1(const QString& what) const;
    QString FilesFolders2(const QString& what) const;

    NodeStore& store() { return m_store; }
    QRecursiveMutex& iSemafor() { return m_semafor; }

    bool iIgnoreDate = false;
    bool iIgnore2secDate = false;
    bool iCmpFileContents = false;
    bool iResolveAliases = false;
    bool iCmpRsrc = false;
    bool iCmpTags = false;
    bool iIgnoreExt = false;
    bool iSortAscending = true;
    bool iFoldersOnTop = false;
    bool iSortOnlyByFirst = false;
    std::uint32_t iColumns = 0;            // OptionalColumn bits read for this tree
    bool iColorLabels = false;             // colour label numbers are read (setting "showColorTags2")
    std::int32_t iMultiFolder = 0;
    std::int64_t iIgnoreSizeValue = 0;
    std::int64_t iIgnoreSizeIn = 0;
    int iSortingColumn = -1;               // -1: none chosen
    StatusSink* iStatus = nullptr;
    const std::atomic<bool>* iCancelled = nullptr;   // the comparison thread's cancel flag

    bool cancelled() const { return iCancelled && iCancelled->load(std::memory_order_relaxed); }
    platform::FileSystem& fileSystem() const { return *m_fileSystem; }
    void setFileSystem(platform::FileSystem& fs) { m_fileSystem = &fs; }
    // What a side is read through: its snapshot's recorded tree, or the live file system.
    platform::FileSystem& fileSystemFor(int side) const;

    // The snapshot read for a side (nullptr for a live folder) and its recorded tree as a file system.
    std::shared_ptr<KSnapshot> iSnapshot1, iSnapshot2;
    void setSnapshot(int side, std::shared_ptr<KSnapshot> snapshot);
    const KSnapshot* snapshotFor(int side) const { return (side == kSideLeft ? iSnapshot1 : iSnapshot2).get(); }

    // A root for a comparison nested inside this one (two links to folders):
    // the same options, paths and status, a tree of its own.
    std::unique_ptr<KRootItem> copyForNestedRun(const std::string& leftPath, const std::string& rightPath) const;

private:
    platform::FileSystem* m_fileSystem = &platform::systemFileSystem();
    std::unique_ptr<platform::FileSystem> m_snapshotFs[2];
    NodeStore m_store;
    QRecursiveMutex m_semafor;
    std::string m_leftPath, m_rightPath;
};

// Removes one trailing "/" from a path, keeping the file-system root "/".
std::string withoutTrailingSlash(std::string path);

}  // namespace qv
