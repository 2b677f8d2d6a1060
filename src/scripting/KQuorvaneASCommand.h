#pragma once
// The scripting commands. Each checks its parameters, stores the options it
// carries into the settings (they are the application's, so they also
// apply to comparisons started by hand later), hands the work on and
// answers once — at once for a refused command, else when the comparison,
// the planning or the execution has ended. Nothing here knows how the
// command arrived (the session bus, the command line, a test).

#include "scripting/ScriptArguments.h"
#include "scripting/ScriptError.h"

#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

namespace qv {

class KQuorvaneScripting;
class ScriptableComparison;
class Settings;

struct ScriptResult {
    ScriptError error;
    int comparison = 0;              // compare, sync: the comparison's number, 0 for none
    std::optional<bool> success;     // execute: whether the run went to its end
};
using ScriptReply = std::function<void(const ScriptResult&)>;

// A plain scripting command: its parameters and what it works on.
class KQuorvaneScriptCommand {
public:
    KQuorvaneScriptCommand(ScriptCommandKind kind, KQuorvaneScripting& scripting, Settings& settings,
                           QVariantMap arguments);
    virtual ~KQuorvaneScriptCommand() = default;

    // Runs the command; `reply` is called exactly once, maybe before this returns.
    void perform(ScriptReply reply);

protected:
    virtual void performDefaultImplementation(ScriptReply reply) = 0;

    bool has(const char* key) const { return m_arguments.contains(QLatin1String(key)); }
    QVariant argument(const char* key) const { return m_arguments.value(QLatin1String(key)); }
    bool boolArgument(const char* key) const { return argument(key).toBool(); }
    // The open comparison named by "Comparison" (a closing one no longer counts), else the error to answer.
    ScriptableComparison* namedComparison(ScriptError& error) const;

    ScriptCommandKind m_kind;
    KQuorvaneScripting& m_scripting;
    Settings& m_settings;
    QVariantMap m_arguments;
};

// A command that also stores options into the settings.
class KQuorvaneASCommand : public KQuorvaneScriptCommand {
public:
    using KQuorvaneScriptCommand::KQuorvaneScriptCommand;

    // When `key` is given, its boolean goes into the settings under `defaultsKey` (negated by the second).
    static void SetDefaultsBoolIfPresent(Settings& settings, const QVariantMap& arguments, const QString& key,
                                         const QString& defaultsKey);
    static void SetDefaultsNegateBoolIfPresent(Settings& settings, const QVariantMap& arguments, const QString& key,
                                               const QString& defaultsKey);

protected:
    void setDefaultsBoolIfPresent(const char* key, const char* defaultsKey, bool negate = false);
};

class KQuorvaneCompareCommand final : public KQuorvaneASCommand {
public:
    KQuorvaneCompareCommand(KQuorvaneScripting& scripting, Settings& settings, QVariantMap arguments)
        : KQuorvaneASCommand(ScriptCommandKind::Compare, scripting, settings, std::move(arguments)) {}

protected:
    void performDefaultImplementation(ScriptReply reply) override;
};

class KQuorvaneSyncCommand final : public KQuorvaneASCommand {
public:
    KQuorvaneSyncCommand(KQuorvaneScripting& scripting, Settings& settings, QVariantMap arguments)
        : KQuorvaneASCommand(ScriptCommandKind::Sync, scripting, settings, std::move(arguments)) {}

protected:
    void performDefaultImplementation(ScriptReply reply) override;
};

class KQuorvaneExecuteCommand final : public KQuorvaneASCommand {
public:
    KQuorvaneExecuteCommand(KQuorvaneScripting& scripting, Settings& settings, QVariantMap arguments)
        : KQuorvaneASCommand(ScriptCommandKind::Execute, scripting, settings, std::move(arguments)) {}

protected:
    void performDefaultImplementation(ScriptReply reply) override;
};

class KQuorvaneCloseCommand final : public KQuorvaneScriptCommand {
public:
    KQuorvaneCloseCommand(KQuorvaneScripting& scripting, Settings& settings, QVariantMap arguments)
        : KQuorvaneScriptCommand(ScriptCommandKind::Close, scripting, settings, std::move(arguments)) {}

protected:
    void performDefaultImplementation(ScriptReply reply) override;
};

// The command of a name ("compare", "sync", "execute", "close"), or null.
std::unique_ptr<KQuorvaneScriptCommand> makeScriptCommand(const QString& name, KQuorvaneScripting& scripting,
                                                          Settings& settings, QVariantMap arguments);

}  // namespace qv
