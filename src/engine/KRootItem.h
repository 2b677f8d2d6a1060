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

// Where a run shows its progress text (the status header of a window, or the CLI's stderr).
class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void showStatus(const QString& text) = 0;
    virtual void showFraction(double) {}
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
    std::uint32_t iColumns = 0;
    std::int32_t iMultiFolder = 0;
    std::int64_t iIgnoreSizeValue = 0;
    std::int64_t iIgnoreSizeIn = 0;
    int iSortingColumn = -1;               // -1: none chosen
    StatusSink* iStatus = nullptr;
    const std::atomic<bool>* iCancelled = nullptr;   // the comparison thread's cancel flag

    bool cancelled() const { return iCancelled && iCancelled->load(std::memory_order_relaxed); }

private:
    NodeStore m_store;
    QRecursiveMutex m_semafor;
    std::string m_leftPath, m_rightPath;
};

// Removes one trailing "/" from a path, keeping the file-system root "/".
std::string withoutTrailingSlash(std::string path);

}  // namespace qv
