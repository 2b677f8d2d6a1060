#pragma once
// Records a folder tree into snapshot JSON as it walks, without a document
// in memory: each folder's entries are written when listed, its totals after.

#include "platform/FileSystem.h"
#include "platform/ListingPrefetcher.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qv {

class SnapshotRecorder {
public:
    struct Options {
        bool calculateMD5 = false;
    };
    // Told the files and folders recorded so far, at most once a second.
    using Progress = std::function<void(std::uint64_t files, std::uint64_t folders)>;
    // Told each entry that could not be read; the recording goes on.
    using ErrorLog = std::function<void(const std::string& path, int error)>;
    // Given the JSON in pieces as it is written, in order.
    using Sink = std::function<void(std::string_view piece)>;

    SnapshotRecorder(platform::FileSystem& fs, Options options, const std::atomic<bool>* cancelled = nullptr);
    void setProgress(Progress progress) { m_progress = std::move(progress); }
    void setErrorLog(ErrorLog log) { m_log = std::move(log); }
    // With a sink the JSON goes to it while the walk goes on, and `json` is left empty.
    void setSink(Sink sink) { m_sink = std::move(sink); }

    // The compact JSON of the folder; false when it was cancelled or the folder cannot be read.
    bool record(const std::string& folder, std::string& json, std::int64_t nowNs);

    std::uint64_t iFiles = 0, iFolders = 0;
    std::uint64_t iDataSize = 0;   // the bytes of the files recorded

private:
    struct Totals {
        std::uint64_t size = 0, files = 0, folders = 0;
    };
    // `depth`: the folder's level below the recorded one (0 for that one).
    bool SnapshotForFolder(const std::string& folder, std::string& out, Totals& totals, std::size_t depth);
    // `rawTags`: the entry's tags value as its listing read it; without one they are read here.
    void writeEntryHead(const std::string& path, const platform::EntryStat& st, bool folder, std::string& out,
                        std::optional<std::string_view> rawTags = std::nullopt);
    std::string typeOf(const std::string& path, const platform::EntryStat& st);
    bool cancelled() const { return m_cancelled && m_cancelled->load(std::memory_order_relaxed); }
    void reportProgress();
    void listFolder(const std::string& folder, platform::Listing& listing);
    void listSubfoldersAhead(const std::string& folder, const platform::Listing& listing);

    platform::FileSystem& m_fs;
    Options m_options;
    const std::atomic<bool>* m_cancelled;
    Progress m_progress;
    ErrorLog m_log;
    Sink m_sink;
    std::int64_t m_lastProgress = 0;
    std::unordered_map<std::string, std::string> m_typeByExtension;
    // Lists the folders below the one being recorded on a second core.
    std::unique_ptr<platform::ListingPrefetcher> m_prefetcher;
};

// Appends a JSON string: quotes, backslashes, control characters and "/"
// escaped; each byte that is not UTF-8 becomes a lone surrogate escape
// ("\udc80" to "\udcff"), which the reader turns back into the byte.
void appendSnapshotString(std::string& out, std::string_view text);

// The MD5 of a regular file as 32 lower-case hexadecimal digits, "" when it
// cannot be read or is anything else (a FIFO, a device).
std::string md5OfFile(const std::string& path, bool followLinks = true);

}  // namespace qv
