#include "ui/Formatting.h"

#include "base/Messages.h"
#include "base/Settings.h"
#include "platform/FileSystem.h"

#include <QDateTime>
#include <QLocale>

namespace qv {

QString formatSize(std::int64_t bytes) {
    QLocale locale;
    if (Settings::instance().boolValue(QStringLiteral("sizeInBytes"))) return locale.toString(qlonglong(bytes));
    return locale.formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QString formatByteCount(std::int64_t bytes) {
    const QLocale locale;
    const QString exact = Messages::format("byteCount", locale.toString(qlonglong(bytes)));
    if (bytes < 1000) return exact;
    return QStringLiteral("%1 (%2)").arg(locale.formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat), exact);
}

QString formatDate(std::int64_t ns) {
    if (ns == platform::kNoTime) return {};
    const QDateTime when = QDateTime::fromMSecsSinceEpoch(ns / 1000000);
    return QLocale().toString(when, QLocale::ShortFormat);
}

}  // namespace qv
