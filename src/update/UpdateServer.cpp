#include "update/UpdateServer.h"

#include "base/Settings.h"

namespace qv::update {

QUrl updateServerFolder(const Settings& settings) {
    QString address = qEnvironmentVariable("QV_UPDATE_URL");
    if (address.isEmpty()) address = settings.stringValue(QStringLiteral("updateURL"));
    if (address.isEmpty()) return {};
    if (address.startsWith(QLatin1Char('/'))) return QUrl::fromLocalFile(address);
    const QUrl url(address, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) return {};
    return url;
}

QUrl serverFile(const QUrl& folder, const QString& name) {
    QUrl base = folder;
    // Without the slash "releases" would be replaced by the name, not entered.
    if (!base.path().endsWith(QLatin1Char('/'))) base.setPath(base.path() + QLatin1Char('/'));
    QUrl relative;
    relative.setPath(name);   // a name holding ":" or "?" stays a path
    return base.resolved(relative);
}

}  // namespace qv::update
