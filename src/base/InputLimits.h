#pragma once
// What the program may read as input, by kind: each kind is read whole into
// memory, so each has a ceiling that a real file of that kind stays far
// below, and a device or a runaway file cannot exhaust memory.

#include "platform/InputFile.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv {

constexpr std::int64_t kRuleFileLimit = std::int64_t{16} << 20;       // thousands of rules
constexpr std::int64_t kActionPlanLimit = std::int64_t{64} << 20;     // a mark for every entry of a large tree
constexpr std::int64_t kSettingsFileLimit = std::int64_t{16} << 20;   // the INI file with its histories
constexpr std::int64_t kSnapshotFileLimit = std::int64_t{1} << 30;    // compressed: tens of millions of entries

// The deepest folder tree the program reads or compares: deeper than any
// folder a path of 4096 bytes can name (two bytes per level at least), deep
// enough for any real tree. A snapshot, a chain of links to folders or a tree
// made one folder inside the other can go on without end; every walk over a
// tree stops here, so the stack holds and the time stays bounded.
constexpr std::size_t kMaxTreeDepth = 2048;

// Why an input could not be read, in the user's words.
QString inputProblemText(const std::string& path, const platform::InputStatus& status, std::int64_t limit);

}  // namespace qv
