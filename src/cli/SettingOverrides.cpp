#include "cli/SettingOverrides.h"

#include "base/Messages.h"
#include "base/Settings.h"

namespace qv {

QString applySettingOverride(Settings& settings, const std::string& assignment) {
    const QString text = QString::fromStdString(assignment);
    const qsizetype eq = text.indexOf('=');
    if (eq <= 0) return Messages::format("cliBadSetSyntax", text);
    const QString key = text.left(eq);
    const QString valueText = text.mid(eq + 1);
    const RegisteredDefault* entry = Settings::registered(key);
    if (!entry) return Messages::format("cliUnknownKey", key);
    QVariant value;
    if (!Settings::parseValue(*entry, valueText, value))
        return Messages::format("cliBadValue", valueText, key, Settings::expectation(*entry));
    settings.setOverride(key, value);
    return {};
}

}  // namespace qv
