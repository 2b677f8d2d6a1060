#pragma once
// The parameters of a scripting command, by key ("Comparison", "Left",
// "SyncType" …), as the caller gave them. They are checked against the
// command's keys and types before the command looks at them, so a command
// only ever reads a bool, a whole number, a path or a four-character code.

#include "scripting/ScriptError.h"

#include <QVariantMap>

#include <string>

namespace qv {

enum class ScriptCommandKind { Compare, Sync, Execute, Close };

enum class ScriptValueKind { Comparison, Path, Bool, Enumerator };

// The kind of value a key takes; false when the command has no such key.
bool scriptKeyKind(ScriptCommandKind command, const QString& key, ScriptValueKind& kind);

// Checks every key and value for `command` and brings the values to one form:
// "Comparison" a qlonglong, paths a QString (bytes that are not UTF-8 or a
// path with a line break are refused), booleans a bool, codes a QString.
ScriptError normaliseArguments(ScriptCommandKind command, QVariantMap& arguments);

// A path value as the file system's bytes.
std::string scriptPath(const QVariant& value);

// The enumerator codes of the scripting interface.
namespace codes {
inline constexpr const char* kCompareText = "CpTx";
inline constexpr const char* kCompareBinary = "CpBd";
inline constexpr const char* kCompareQuick = "CpBq";
inline constexpr const char* kMirror = "SyMr";
inline constexpr const char* kUpdate = "SyUp";
inline constexpr const char* kLeftToRight = "SyLR";
inline constexpr const char* kRightToLeft = "SyRL";
inline constexpr const char* kBothWays = "SyBo";
}  // namespace codes

}  // namespace qv
