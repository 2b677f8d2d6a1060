#pragma once
// The application's scripting side ("QuorvaneScripting"): opening a
// comparison for two paths, planning a sync on one and executing its plan.
// Each reports once, on the main thread, when the work has ended.

#include "scripting/ScriptError.h"

#include <QString>

#include <functional>
#include <optional>
#include <string>

namespace qv {

class ScriptingHost;

class KQuorvaneScripting {
public:
    // (the comparison's number, 0 for none; the error, if any)
    using ComparisonBlock = std::function<void(int, const ScriptError&)>;
    using SuccessBlock = std::function<void(bool, const ScriptError&)>;

    explicit KQuorvaneScripting(ScriptingHost& host) : m_host(host) {}
    ScriptingHost& host() const { return m_host; }

    void OpenComparisonWithLeftPath(const std::string& left, const std::string& rightPath, bool showUI,
                                    ComparisonBlock completionHandler);
    // `syncType` and `direction` are the four-character codes.
    void SyncComparison(int comparison, const QString& syncType, const QString& direction,
                        ComparisonBlock completionHandler);
    // `archive`: "#TRASH!", "#NOARCHIVE!", a folder, or none for the window's own choice.
    void ExecuteComparison(int comparison, const std::optional<QString>& archive, SuccessBlock completionHandler);

private:
    ScriptingHost& m_host;
};

}  // namespace qv
