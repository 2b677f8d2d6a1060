#pragma once
// A snapshot file: one LZFSE stream holding a compact JSON tree of the
// recorded entries. KSnapshot reads such a file back into a KSnapURL tree.

#include "snapshot/KSnapURL.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class KSnapshot {
public:
    KSnapshot();
    ~KSnapshot();
    KSnapshot(const KSnapshot&) = delete;
    KSnapshot& operator=(const KSnapshot&) = delete;

    // Reads a snapshot file; false when it is not one, with `error` set to the
    // message key of the reason (the details go to the log).
    bool ReadSnapshot(const std::string& file, std::string* error = nullptr);
    // Reads the decompressed JSON text of a snapshot.
    bool readJson(std::string_view json, std::string* error = nullptr);
    // The decompressed JSON text of a snapshot file.
    static bool extractJson(const std::string& file, std::vector<std::uint8_t>& json, std::string* error = nullptr);

    KSnapURL* iSnapshot() const { return m_root; }
    // The absolute path of the recorded folder.
    const std::string& recordedPath() const { return m_recordedPath; }
    bool hasMD5() const { return m_hasMD5; }
    std::int64_t iSnapDate() const { return m_date; }
    // Content types in the order the entries refer to them.
    const std::vector<std::string>& types() const { return m_types; }

    // The entry recorded at an absolute path, or nullptr.
    KSnapURL* entryAt(std::string_view path) const;

    // Used while reading: a new entry owned by this snapshot.
    KSnapURL* newEntry();
    std::int32_t typeIndex(std::string_view type);
    // A stable copy of a name for the life of the snapshot.
    std::string_view keepName(std::string_view name);
    void setRoot(KSnapURL* root, std::string recordedPath, bool hasMD5, std::int64_t date);

private:
    std::deque<KSnapURL> m_entries;
    std::vector<std::unique_ptr<char[]>> m_nameChunks;
    std::size_t m_nameUsed = 0;
    std::string m_recordedPath;
    std::vector<std::string> m_types;
    KSnapURL* m_root = nullptr;
    bool m_hasMD5 = false;
    std::int64_t m_date = kNoRecordedDate;
};

// Logs why a snapshot could not be read, sets `error` to the message key of the reason, and answers false.
bool snapshotFailure(std::string* error, const char* reasonKey, const std::string& detail);

// "2024-05-01T12:00:00Z" from a file time (platform/FileTime.h; fractions
// dropped), and back. "" for a time no calendar year can hold.
std::string isoDate(std::int64_t time);
// The same text appended to `out`; false, with nothing appended, where isoDate is empty.
bool appendIsoDate(std::string& out, std::int64_t time);
std::int64_t parseIsoDate(std::string_view text);

}  // namespace qv
