#include "cli/SettingsCommand.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"
#include "cli/CommandLine.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <memory>

namespace qv {
namespace {

QString shown(const QVariant& value, SettingType type) {
    if (!value.isValid()) return {};
    if (type == SettingType::Bool) {
        const QString t = value.toString().toLower();
        const bool on = value.typeId() == QMetaType::Bool ? value.toBool() : (t == u"true" || t == u"1" || t == u"yes");
        return on ? QStringLiteral("true") : QStringLiteral("false");
    }
    return value.toString();
}

QJsonValue asJson(const QVariant& value, SettingType type) {
    const QString text = shown(value, type);
    if (type == SettingType::Bool) return text == u"true";
    if (type == SettingType::Int) return text.toLongLong();
    return text;
}

int listSettings(const Settings& settings, bool json) {
    QJsonArray rows;
    for (const RegisteredDefault& d : Settings::QVDefaults()) {
        const QVariant current = settings.value(d.key);
        if (json) {
            rows.append(QJsonObject{{QStringLiteral("key"), d.key},
                                    {QStringLiteral("type"), Settings::typeName(d.type)},
                                    {QStringLiteral("default"), asJson(d.value, d.type)},
                                    {QStringLiteral("value"), asJson(current, d.type)},
                                    {QStringLiteral("stored"), settings.isStored(d.key)},
                                    {QStringLiteral("description"), settingDescription(d.key)}});
        } else {
            std::printf("%-24s %-8s default %-12s value %s%s\n%26s%s\n", qPrintable(d.key),
                        qPrintable(Settings::typeName(d.type)), qPrintable(shown(d.value, d.type)),
                        qPrintable(shown(current, d.type)), settings.isStored(d.key) ? "  (stored)" : "", "",
                        qPrintable(settingDescription(d.key)));
        }
    }
    if (json) std::printf("%s", QJsonDocument(rows).toJson(QJsonDocument::Indented).constData());
    return 0;
}

const RegisteredDefault* knownKey(const std::string& key) {
    const RegisteredDefault* d = Settings::registered(QString::fromStdString(key));
    if (!d) failLine(Messages::format("cliUnknownKey", QString::fromStdString(key)));
    return d;
}

int get(const std::string& key) {
    const RegisteredDefault* d = knownKey(key);
    if (!d) return 2;
    std::printf("%s\n", qPrintable(shown(Settings::instance().value(d->key), d->type)));
    return 0;
}

int set(const std::string& key, const std::string& valueText) {
    const RegisteredDefault* d = knownKey(key);
    if (!d) return 2;
    QVariant value;
    const QString text = QString::fromStdString(valueText);
    if (!Settings::parseValue(*d, text, value))
        return failLine(Messages::format("cliBadValue", text, d->key, Settings::expectation(*d)));
    Settings::instance().store(d->key, value);
    std::printf("%s\n", qPrintable(Messages::format("cliSettingStored", d->key, shown(value, d->type))));
    return 0;
}

int reset(const std::string& key) {
    Settings& settings = Settings::instance();
    if (key.empty()) {
        settings.removeAll();
        return 0;
    }
    const RegisteredDefault* d = knownKey(key);
    if (!d) return 2;
    settings.remove(d->key);
    return 0;
}

// The help of get and set names the key's meaning, the values it takes and its default when a key is given.
QString keyHelp(const std::string& key) {
    const RegisteredDefault* d = Settings::registered(QString::fromStdString(key));
    if (!d) return {};
    return QStringLiteral("\n%1 (%2, %3 %4): %5")
        .arg(d->key, Settings::expectation(*d), Messages::text("cliDefault"), shown(d->value, d->type),
             settingDescription(d->key));
}

struct SettingsOptions {
    bool json = false;
    std::string key, value;
};

}  // namespace

QString settingDescription(const QString& key) {
    const QByteArray descriptionKey = "setting." + key.toLatin1();
    return Messages::text(descriptionKey.constData());
}

void addSettingsCommand(CommandLine& cli) {
    auto o = std::make_shared<SettingsOptions>();
    CLI::App* settings = cli.addCommand(cli.root(), "settings", "cliCmdSettings", "cliExampleSettings", nullptr);
    CLI::App* list = cli.addCommand(*settings, "list", "cliCmdSettingsList", nullptr,
                                    [o] { return listSettings(Settings::instance(), o->json); });
    described(list->add_flag("--json", o->json), "cliOptJson");
    CLI::App* getCommand = cli.addCommand(*settings, "get", "cliCmdSettingsGet", nullptr, [o] { return get(o->key); });
    described(getCommand->add_option("KEY", o->key), "cliArgKey")->type_name("")->required();
    cli.setExtraHelp(getCommand, [o] { return keyHelp(o->key); });
    CLI::App* setCommand =
        cli.addCommand(*settings, "set", "cliCmdSettingsSet", nullptr, [o] { return set(o->key, o->value); });
    described(setCommand->add_option("KEY", o->key), "cliArgKey")->type_name("")->required();
    described(setCommand->add_option("VALUE", o->value), "cliArgValue")->type_name("")->required();
    cli.setExtraHelp(setCommand, [o] { return keyHelp(o->key); });
    CLI::App* resetCommand = cli.addCommand(*settings, "reset", "cliCmdSettingsReset", nullptr, [o] { return reset(o->key); });
    described(resetCommand->add_option("KEY", o->key), "cliArgKeyReset")->type_name("");
}

}  // namespace qv
