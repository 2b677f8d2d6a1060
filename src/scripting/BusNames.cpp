#include "scripting/BusNames.h"

namespace qv {

namespace bus {

QString comparisonPath(int uniqueASID) { return QLatin1String(kComparisonPathPrefix) + QString::number(uniqueASID); }

qint64 comparisonOfPath(const QString& path) {
    const QLatin1String prefix(kComparisonPathPrefix);
    if (!path.startsWith(prefix)) return 0;
    bool ok = false;
    const qint64 id = path.mid(prefix.size()).toLongLong(&ok);
    return ok && id > 0 ? id : 0;
}

QString errorName(int number) {
    return QLatin1String(kErrorPrefix) + (number < 0 ? QStringLiteral("Minus%1").arg(-qint64(number))
                                                     : QStringLiteral("Code%1").arg(number));
}

int errorNumber(const QString& name) {
    if (!name.startsWith(QLatin1String(kErrorPrefix))) return 0;
    const QString rest = name.mid(int(qstrlen(kErrorPrefix)));
    bool ok = false;
    if (rest.startsWith(QLatin1String("Minus"))) {
        const int n = rest.mid(5).toInt(&ok);
        return ok ? -n : 0;
    }
    if (rest.startsWith(QLatin1String("Code"))) {
        const int n = rest.mid(4).toInt(&ok);
        return ok ? n : 0;
    }
    return 0;
}

}  // namespace bus

}  // namespace qv
