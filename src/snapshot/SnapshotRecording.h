#pragma once
// A snapshot recorded from a window or the command line: the folder is
// walked, the JSON compressed as it is written, and the file's bytes kept
// until they are saved.

#include "snapshot/SnapshotRecorder.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace qv {

class SnapshotRecording {
public:
    explicit SnapshotRecording(platform::FileSystem& fs = platform::systemFileSystem()) : m_fs(fs) {}

    // Walks `folder` and compresses what was recorded. False when it was
    // cancelled or the folder cannot be listed.
    bool record(const std::string& folder, bool calculateMD5, const std::atomic<bool>* cancelled,
                SnapshotRecorder::Progress progress = {}, SnapshotRecorder::ErrorLog log = {});

    // The snapshot file's contents (empty before a recording ends).
    const std::vector<std::uint8_t>& bytes() const { return m_bytes; }
    std::uint64_t files() const { return m_files; }
    std::uint64_t folders() const { return m_folders; }
    std::uint64_t dataSize() const { return m_dataSize; }   // the bytes of the files recorded

    // Writes the snapshot under `destination` through a temporary in its
    // folder; an existing file is replaced only with `replace`. 0 or an errno value.
    int save(const std::string& destination, bool replace) const;

    // The name a save proposes: the folder's own name with the extension "qvss".
    static std::string proposedName(const std::string& folder);

private:
    platform::FileSystem& m_fs;
    std::vector<std::uint8_t> m_bytes;
    std::uint64_t m_files = 0, m_folders = 0, m_dataSize = 0;
};

}  // namespace qv
