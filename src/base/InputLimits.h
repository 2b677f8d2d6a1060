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

// The deepest folder tree the program reads or compares. A live tree cannot
// be deeper while its paths fit in PATH_MAX (4096 bytes, two per level at
// least); a snapshot or a chain of links to folders could be, and every walk
// over a tree would then risk the stack.
constexpr std::size_t kMaxTreeDepth = 2048;

// Why an input could not be read, in the user's words.
QString inputProblemText(const std::string& path, const platform::InputStatus& status, std::int64_t limit);

}  // namespace qv
