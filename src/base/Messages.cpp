#include "base/Messages.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMutex>
#include <QRegularExpression>
#include <QSet>

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
