#pragma once
// The application's names on the session bus, shared by the side that
// answers (the window program) and the side that calls (`quorvane script`).

#include <QString>

namespace qv {

namespace bus {
inline constexpr const char* kApplicationPath = "/org/quorvane/Quorvane";
inline constexpr const char* kScriptingInterface = "org.quorvane.Quorvane.Scripting";
inline constexpr const char* kComparisonInterface = "org.quorvane.Quorvane.Comparison";
inline constexpr const char* kComparisonPathPrefix = "/org/quorvane/Quorvane/Comparisons/";
inline constexpr const char* kErrorPrefix = "org.quorvane.Quorvane.Error.";
QString comparisonPath(int uniqueASID);
// The comparison number of an object path of ours, 0 when it is none.
qint64 comparisonOfPath(const QString& path);
// The bus error name that carries an error number, and back (0 when the name is not one of ours).
QString errorName(int number);
int errorNumber(const QString& name);
}  // namespace bus

}  // namespace qv
