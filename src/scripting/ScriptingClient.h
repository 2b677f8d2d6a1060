#pragma once
// The other end of the session bus: what `quorvane script` does to reach the
// running application, start it when none runs, send a command, wait for
// its answer and read the comparison's counts. Built as a module of its own
// (libquorvane-bus.so) that the command loads only for a script sent to the
// application: QtDBus and the libraries it brings are not loaded by every
// other command.

#include "scripting/ScriptError.h"

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <optional>

namespace qv {

// What a command answered and where the comparison it names stands now.
struct ScriptOutcome {
    // False when no application took the command (none runs, or one is still
    // setting up its scripting interface): nothing was carried out.
    bool reached = true;
    ScriptError error;
    int comparison = 0;
    std::optional<bool> success;   // execute
    std::uint64_t differences = 0, actions = 0;
    QStringList errorLines;
    QString state;
};

class ScriptingClient {
public:
    // Long enough for any comparison: the bus's own default (25 s) would cut a long one off.
    static constexpr int kReplyTimeoutMs = 0x7fffffff;
    // How long a newly started application has to take its name.
    static constexpr int kStartTimeoutMs = 20000;

    // Whether the application owns its name on the session bus; false without a bus.
    static bool applicationRunning();
    // Whether its scripting interface answers: a program that has just taken
    // its name sets the interface up a moment later. Waits up to `ms`.
    static bool scriptingReady(int ms = 0);
    // Starts the window program without a window (offscreen when there is
    // no display) and waits for its name; "" on success, else why not.
    static QString startApplication(const QString& program);

    // Sends a command and waits for its reply; the counts are read from the
    // comparison the reply (or the "Comparison" parameter) names. Sent
    // straight away: a caller that finds nobody answering (`reached` false)
    // starts the application or waits for it and sends the command again.
    static ScriptOutcome call(const QString& command, const QVariantMap& parameters);
    // Reads a comparison's counts into `outcome`.
    static void readComparison(int comparison, ScriptOutcome& outcome);
};

// The client's calls as the module hands them to the command line, which
// finds them by the name kScriptingClientEntry.
struct ScriptingClientCalls {
    bool (*applicationRunning)();
    bool (*scriptingReady)(int ms);
    QString (*startApplication)(const QString& program);
    ScriptOutcome (*call)(const QString& command, const QVariantMap& parameters);
};
inline constexpr const char* kScriptingClientEntry = "qv_scripting_client_calls";

}  // namespace qv
