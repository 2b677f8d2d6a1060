#pragma once
// A recorded folder seen through the file-system interface the scan uses:
// listing a recorded path lists the recorded entries, in recorded order,
// with their recorded metadata. The scan needs no other path for snapshots.

#include "platform/FileSystem.h"

#include <memory>

namespace qv {

class KSnapshot;
struct KSnapURL;

class SnapshotFileSystem final : public platform::FileSystem {
public:
    explicit SnapshotFileSystem(std::shared_ptr<const KSnapshot> snapshot) : m_snapshot(std::move(snapshot)) {}

    void listFolder(const std::string& path, platform::Listing& out, unsigned fields) override;
    int statPath(const std::string& path, bool followLinks, platform::EntryStat& out, unsigned fields) override;
    int readLink(const std::string& path, std::string& target) override;
    std::optional<std::vector<std::string>> readTags(const std::string& path, bool followLinks) override;

    const KSnapshot& snapshot() const { return *m_snapshot; }
    static void fillStat(const KSnapURL& entry, platform::EntryStat& out);

private:
    std::shared_ptr<const KSnapshot> m_snapshot;
};

}  // namespace qv
