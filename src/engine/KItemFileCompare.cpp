// The comparison of two files on disk: contents, extended attributes, tags.

#include "engine/KItem.h"
#include "engine/KRootItem.h"
#include "base/PathResolution.h"
#include "platform/ExtendedAttributes.h"
#include "snapshot/KSnapshot.h"
#include "snapshot/SnapshotRecorder.h"

namespace qv {
namespace {

// From this size on a single comparison shows its own progress.
constexpr std::int64_t kLargeFile = 200'000'000;

// Reports the fraction read, at most once per 2% of the file.
class LargeFileProgress {
public:
    LargeFileProgress(StatusSink* sink, const std::string& path, std::int64_t size) : m_sink(sink), m_size(size) {
        if (m_sink) m_sink->StartProgress(std::string(lastPathComponent(path)));
    }
    ~LargeFileProgress() {
        if (m_sink) m_sink->StopProgress();
    }
    void operator()(std::int64_t compared) {
        if (compared - m_reported <= m_size / 50) return;
        m_reported = compared;
        m_sink->SetProgressValue(static_cast<double>(compared) / static_cast<double>(m_size));
    }

private:
    StatusSink* m_sink;
    std::int64_t m_size;
    std::int64_t m_reported = 0;
};

}  // namespace

namespace {

// A snapshot side answers with its recorded digest, a live side with its file's.
std::string digestFor(const KRootItem& root, int side, const std::string& path) {
    if (const KSnapshot* snapshot = root.snapshotFor(side)) {
        const KSnapURL* entry = snapshot->entryAt(path);
        return entry ? entry->md5Hex() : std::string();
    }
    return md5OfFile(path);
}

// Two entries on a side that is a snapshot: recorded files cannot be read,
// so their recorded digests stand for their contents and their recorded tags
// for their tags. Extended attributes are not recorded.
int compareRecorded(const std::string& file1, const std::string& file2, KRootItem& root) {
    const bool bothWithDigests = root.iSnapshot1 && root.iSnapshot2 && root.iSnapshot1->hasMD5() && root.iSnapshot2->hasMD5();
    if (root.iCmpFileContents || bothWithDigests) {
        const std::string a = digestFor(root, kSideLeft, file1);
        const std::string b = a.empty() ? std::string() : digestFor(root, kSideRight, file2);
        if (a.empty() || a != b) {
            // Links (dangling ones, say) have no digest: the same stored destination is the same contents.
            std::string target1, target2;
            const bool sameLinks = a.empty() && root.fileSystemFor(kSideLeft).readLink(file1, target1) == 0 &&
                                   root.fileSystemFor(kSideRight).readLink(file2, target2) == 0 && target1 == target2;
            if (!sameLinks) return kStateDifferent;
        }
    }
    if (root.iCmpTags && !root.cancelled() &&
        root.fileSystemFor(kSideLeft).readTags(file1, false) != root.fileSystemFor(kSideRight).readTags(file2, false))
        return kStateTagsDiffer;
    return kStateEqual;
}

}  // namespace

int KItem::CompareFile(const std::string& file1, const std::string& withFile2, KRootItem& root,
                       platform::PairKinds kinds, const platform::ContentProgress& progress) {
    if (root.iSnapshot1 || root.iSnapshot2) return compareRecorded(file1, withFile2, root);
    platform::FileSystem& fs = root.fileSystem();
    if (root.iCmpFileContents) {
        platform::EntryStat st;
        const bool large = !progress && root.iStatus && fs.statPath(file1, false, st) == 0 && st.size >= kLargeFile;
        platform::ContentResult result;
        if (progress) {
            result = fs.compareContents(file1, withFile2, kinds, root.iCancelled, progress);
        } else if (large) {
            LargeFileProgress fileProgress(root.iStatus, file1, st.size);
            result = fs.compareContents(file1, withFile2, kinds, root.iCancelled, std::ref(fileProgress));
        } else {
            result = fs.compareContents(file1, withFile2, kinds, root.iCancelled, {});
        }
        switch (result) {
        case platform::ContentResult::CannotOpen: return TryResolveAndComparePaths(file1, withFile2);
        case platform::ContentResult::ReadFailed: return kStateNoEntry;
        case platform::ContentResult::Cancelled:
        case platform::ContentResult::Different: return kStateDifferent;
        case platform::ContentResult::Equal: break;
        }
    }
    if (root.iCmpRsrc && !root.cancelled()) {
        const int r = CompareRsrcFile(file1, withFile2, root);
        if (r != kStateEqual) return r;
    }
    if (root.iCmpTags && !root.cancelled()) return CompareTagsFile(file1, withFile2, root);
    return kStateEqual;
}

int KItem::CompareRsrcFile(const std::string& file1, const std::string& withFile2, KRootItem& root) {
    // Linux files have no resource fork (its length reads 0), so only the
    // extended attributes are left to compare.
    return CompareExtendedFinderFile(file1, withFile2, root.iResolveAliases);
}

int KItem::CompareExtendedFinderFile(const std::string& file1, const std::string& file2, bool followLinks) {
    platform::AttributeMap a, b;
    // An unreadable attribute list counts as none, like a missing one.
    if (platform::readUserAttributes(file1, followLinks, a) != 0) a.clear();
    if (platform::readUserAttributes(file2, followLinks, b) != 0) b.clear();
    return a == b ? kStateEqual : kStateRsrcDiffers;
}

int KItem::CompareTagsFile(const std::string& file1, const std::string& withFile2, KRootItem& root) {
    return CompareTags(file1, withFile2, root.iResolveAliases);
}

int KItem::CompareTags(const std::string& tags1, const std::string& tags2, bool followLinks) {
    const auto a = platform::readTags(tags1, followLinks);
    const auto b = platform::readTags(tags2, followLinks);
    if (!a && !b) return kStateEqual;
    if (!a || !b) return kStateTagsDiffer;
    return *a == *b ? kStateEqual : kStateTagsDiffer;
}

int KItem::TryResolveAndComparePaths(const std::string& file1, const std::string& file2) {
    if (file1.empty() || file2.empty()) return kStateNoEntry;
    platform::FileSystem& fs = platform::systemFileSystem();
    platform::EntryStat s1, s2;
    if (fs.statPath(file1, false, s1) != 0 || fs.statPath(file2, false, s2) != 0) return kStateNoEntry;
    if (s1.type != platform::EntryType::Symlink || s2.type != platform::EntryType::Symlink) return kStateNoEntry;
    std::string target1, target2;
    if (fs.readLink(file1, target1) != 0 || fs.readLink(file2, target2) != 0) return kStateNoEntry;
    return target1 == target2 ? kStateEqual : kStateNoEntry;
}

}  // namespace qv
