#pragma once
// Builds a KSnapURL tree straight from the JSON text, without a document in
// between: a million-entry snapshot then costs only its tree in memory.

#include <string>
#include <string_view>

namespace qv {

class KSnapshot;
namespace lzfse { class StreamDecoder; }

class SnapshotJsonReader {
public:
    explicit SnapshotJsonReader(KSnapshot& snapshot) : m_snapshot(snapshot) {}
    bool read(std::string_view json, std::string* error);
    // Reads the JSON as the decoder produces it, never holding the whole text.
    bool read(lzfse::StreamDecoder& decoder, std::string* error);

private:
    KSnapshot& m_snapshot;
};

}  // namespace qv
