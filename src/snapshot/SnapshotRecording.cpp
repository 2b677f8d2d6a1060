#include "snapshot/SnapshotRecording.h"

#include "platform/DurableFile.h"
#include "snapshot/lzfse/Lzfse.h"

#include <chrono>

namespace qv {

bool SnapshotRecording::record(const std::string& folder, bool calculateMD5, const std::atomic<bool>* cancelled,
                               SnapshotRecorder::Progress progress, SnapshotRecorder::ErrorLog log) {
    m_bytes.clear();
    SnapshotRecorder recorder(m_fs, {calculateMD5}, cancelled);
    recorder.setProgress(std::move(progress));
    recorder.setErrorLog(std::move(log));
    const std::int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    // Compressed on another thread while the walk goes on.
    lzfse::StreamEncoder encoder;
    recorder.setSink([&encoder](std::string_view piece) { encoder.append(piece); });
    std::string json;
    const bool recorded = recorder.record(folder, json, now);
    m_files = recorder.iFiles;
    m_folders = recorder.iFolders;
    m_dataSize = recorder.iDataSize;
    if (!recorded || (cancelled && cancelled->load())) return false;
    m_bytes = encoder.finish();
    return true;
}

int SnapshotRecording::save(const std::string& destination, bool replace) const {
    platform::DurableFile file;
    int error = file.open(destination, replace);
    if (!error) error = file.write(std::string_view(reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size()));
    if (!error) error = file.commit();
    return error;
}

std::string SnapshotRecording::proposedName(const std::string& folder) {
    std::string name = folder;
    while (name.size() > 1 && name.back() == '/') name.pop_back();
    const std::size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    if (name.empty() || name == "/") name = "snapshot";
    return name + ".qvss";
}

}  // namespace qv
