#include "cli/SettingsCommand.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "cli/CliOutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

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

int list(const Settings& settings, bool json) {
    QJsonArray rows;
    for (const RegisteredDefault& d : Settings::QVDefaults()) {
        const QVariant current = settings.value(d.key);
        if (json) {
            rows.append(QJsonObject{{QStringLiteral("key"), d.key},
                                    {QStringLiteral("type"), Settings::typeName(d.type)},
                                    {QStringLiteral("default"), asJson(d.value, d.type)},
                                    {QStringLiteral("value"), asJson(current, d.type)},
                                    {QStringLiteral("stored"), settings.isStored(d.key)}});
        } else {
            std::printf("%-24s %-8s default %-12s value %s%s\n", qPrintable(d.key), qPrintable(Settings::typeName(d.type)),
                        qPrintable(shown(d.value, d.type)), qPrintable(shown(current, d.type)),
                        settings.isStored(d.key) ? "  (stored)" : "");
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

}  // namespace

int runSettingsCommand(const std::vector<std::string>& args) {
    Settings& settings = Settings::instance();
    const std::string verb = args.empty() ? std::string() : args[0];
    if (verb == "list" && (args.size() == 1 || (args.size() == 2 && args[1] == "--json")))
        return list(settings, args.size() == 2);
    if (verb == "get" && args.size() == 2) {
        const RegisteredDefault* d = knownKey(args[1]);
        if (!d) return 2;
        std::printf("%s\n", qPrintable(shown(settings.value(d->key), d->type)));
        return 0;
    }
    if (verb == "set" && args.size() == 3) {
        const RegisteredDefault* d = knownKey(args[1]);
        if (!d) return 2;
        QVariant value;
        const QString text = QString::fromStdString(args[2]);
        if (!Settings::parseValue(*d, text, value))
            return failLine(Messages::format("cliBadValue", text, d->key, Settings::expectation(*d)));
        settings.store(d->key, value);
        std::printf("%s\n", qPrintable(Messages::format("cliSettingStored", d->key, shown(value, d->type))));
        return 0;
    }
    if (verb == "reset" && args.size() <= 2) {
        if (args.size() == 1) {
            settings.removeAll();
            return 0;
        }
        const RegisteredDefault* d = knownKey(args[1]);
        if (!d) return 2;
        settings.remove(d->key);
        return 0;
    }
    return failLine(Messages::text("cliSettingsUsage"));
}

}  // namespace qv
