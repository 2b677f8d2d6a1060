#include "base/Messages.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>

#include <unicode/locid.h>
#include <unicode/plurrule.h>

#include <memory>

namespace qv {
namespace {

using Table = QHash<QString, QString>;

Table loadTable(const QString& language) {
    Table table;
    QFile file(QStringLiteral(":/messages/%1.json").arg(language));
    if (!file.open(QIODevice::ReadOnly)) return table;
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    for (auto it = object.begin(); it != object.end(); ++it) table.insert(it.key(), it.value().toString());
    return table;
}

struct Tables {
    Table english = loadTable(QStringLiteral("en"));
    Table local;
};

QMutex& tablesMutex() {
    static QMutex mutex;
    return mutex;
}

Tables& tables() {
    static Tables t = [] {
        Tables init;
        const QString name = QLocale().name();   // e.g. "de_CH"
        init.local = loadTable(name);
        if (init.local.isEmpty()) init.local = loadTable(name.section('_', 0, 0));
        return init;
    }();
    return t;
}

}  // namespace

QString Messages::text(const char* key) {
    const QString k = QString::fromLatin1(key);
    QMutexLocker lock(&tablesMutex());
    const Tables& t = tables();
    if (auto it = t.local.constFind(k); it != t.local.constEnd()) return *it;
    if (auto it = t.english.constFind(k); it != t.english.constEnd()) return *it;
    return k;
}

QString Messages::plural(const char* key, qint64 count) { return pluralText(key, count).arg(QLocale().toString(count)); }

QString Messages::pluralText(const char* key, qint64 count) {
    static const std::unique_ptr<icu::PluralRules> rules = [] {
        UErrorCode status = U_ZERO_ERROR;
        // The C locale has no plural rules; its texts are the English ones.
        const QString name = QLocale().language() == QLocale::C ? QStringLiteral("en") : QLocale().name();
        std::unique_ptr<icu::PluralRules> r(icu::PluralRules::forLocale(icu::Locale(name.toLatin1().constData()), status));
        return U_SUCCESS(status) ? std::move(r) : nullptr;
    }();
    QString form = QStringLiteral("other");
    if (rules) {
        const icu::UnicodeString keyword = rules->select(static_cast<int32_t>(std::min<qint64>(count, INT32_MAX)));
        form = QString::fromUtf16(reinterpret_cast<const char16_t*>(keyword.getBuffer()), keyword.length());
    }
    const QByteArray formKey = QByteArray(key) + '.' + form.toLatin1();
    QString text = Messages::text(formKey.constData());
    if (text == QLatin1String(formKey)) text = Messages::text((QByteArray(key) + ".other").constData());
    return text;
}

int Messages::placeholderCount(const QString& text) {
    static const QRegularExpression placeholder(QStringLiteral("%(\\d+)"));
    QSet<QString> seen;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) seen.insert(it.next().captured(1));
    return static_cast<int>(seen.size());
}

bool Messages::useLanguage(const QString& language) {
    Table table = loadTable(language);
    if (table.isEmpty()) return false;
    QMutexLocker lock(&tablesMutex());
    tables().local = std::move(table);
    return true;
}

}  // namespace qv
