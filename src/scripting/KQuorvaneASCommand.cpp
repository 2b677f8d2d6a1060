#include "scripting/KQuorvaneASCommand.h"

#include "base/Settings.h"
#include "scripting/KQuorvaneScripting.h"
#include "scripting/ScriptableComparison.h"
#include "scripting/ScriptingHost.h"

namespace qv {

ScriptableComparison* ScriptingHost::comparison(qint64 uniqueASID) const {
    for (ScriptableComparison* c : comparisons())
        if (c->iUniqueASID() == uniqueASID) return c;
    return nullptr;
}

KQuorvaneScriptCommand::KQuorvaneScriptCommand(ScriptCommandKind kind, KQuorvaneScripting& scripting,
                                               Settings& settings, QVariantMap arguments)
    : m_kind(kind), m_scripting(scripting), m_settings(settings), m_arguments(std::move(arguments)) {}

void KQuorvaneScriptCommand::perform(ScriptReply reply) {
    // A value of the wrong kind stops the command before anything is stored or opened.
    if (ScriptError error = normaliseArguments(m_kind, m_arguments)) {
        reply({error, 0, std::nullopt});
        return;
    }
    performDefaultImplementation(std::move(reply));
}

ScriptableComparison* KQuorvaneScriptCommand::namedComparison(ScriptError& error) const {
    const qint64 id = argument("Comparison").toLongLong();
    ScriptableComparison* c = m_scripting.host().comparison(id);
    if (!c || c->closing() || !c->controller()) {
        error = script_errors::noSuchComparison(id);
        return nullptr;
    }
    return c;
}

void KQuorvaneASCommand::SetDefaultsBoolIfPresent(Settings& settings, const QVariantMap& arguments, const QString& key,
                                                  const QString& defaultsKey) {
    if (arguments.contains(key)) settings.store(defaultsKey, arguments.value(key).toBool());
}

void KQuorvaneASCommand::SetDefaultsNegateBoolIfPresent(Settings& settings, const QVariantMap& arguments,
                                                        const QString& key, const QString& defaultsKey) {
    if (arguments.contains(key)) settings.store(defaultsKey, !arguments.value(key).toBool());
}

void KQuorvaneASCommand::setDefaultsBoolIfPresent(const char* key, const char* defaultsKey, bool negate) {
    if (negate) SetDefaultsNegateBoolIfPresent(m_settings, m_arguments, QLatin1String(key), QLatin1String(defaultsKey));
    else SetDefaultsBoolIfPresent(m_settings, m_arguments, QLatin1String(key), QLatin1String(defaultsKey));
}

std::unique_ptr<KQuorvaneScriptCommand> makeScriptCommand(const QString& name, KQuorvaneScripting& scripting,
                                                          Settings& settings, QVariantMap arguments) {
    if (name == QLatin1String("compare"))
        return std::make_unique<KQuorvaneCompareCommand>(scripting, settings, std::move(arguments));
    if (name == QLatin1String("sync"))
        return std::make_unique<KQuorvaneSyncCommand>(scripting, settings, std::move(arguments));
    if (name == QLatin1String("execute"))
        return std::make_unique<KQuorvaneExecuteCommand>(scripting, settings, std::move(arguments));
    if (name == QLatin1String("close"))
        return std::make_unique<KQuorvaneCloseCommand>(scripting, settings, std::move(arguments));
    return nullptr;
}

}  // namespace qv
