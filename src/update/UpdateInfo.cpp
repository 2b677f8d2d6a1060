#include "update/UpdateInfo.h"

#include <QList>

namespace qv::update {
namespace {

// Tokens as strtok would give them on the zero-terminated text: empty
// tokens between separators vanish and a NUL ends the text.
QList<QByteArray> tokens(QByteArray text) {
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0) text.truncate(nul);
    QList<QByteArray> result;
    for (const QByteArray& part : text.split(':')) {
        const QByteArray trimmed = part.trimmed();   // the line usually ends in a newline
        if (!trimmed.isEmpty()) result.append(trimmed);
    }
    return result;
}

bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

}  // namespace

bool UpdateInfo::installable() const {
    return offersVersion() && isPlainFileName(archive) && size > 0 && sha256.size() == 32;
}

UpdateInfo readVersionFile(const QByteArray& bytes) {
    const QList<QByteArray> parts = tokens(bytes.left(kVersionFileReadLength));
    UpdateInfo info;
    if (parts.size() < 2) return info;
    info.version = QString::fromUtf8(parts[0]).left(kVersionLength);
    info.archive = QString::fromUtf8(parts[1]).left(kArchiveNameLength);
    if (parts.size() >= 4) {
        bool ok = false;
        const qint64 size = parts[2].toLongLong(&ok);
        if (ok && size > 0) info.size = size;
        const QByteArray digest = QByteArray::fromHex(parts[3]);
        // fromHex skips what is not hexadecimal: only an exact round trip counts.
        if (digest.size() == 32 && digest.toHex() == parts[3].toLower()) info.sha256 = digest;
    }
    return info;
}

int versionNumber(const QString& version) {
    int value = 0;
    for (QChar c : version.left(5)) {
        if (!c.isDigit() || c.unicode() > '9') break;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

bool NewVerAvaible(const UpdateInfo& info, const QString& installedVersion) {
    return info.offersVersion() && versionNumber(info.version) > versionNumber(installedVersion);
}

QString displayVersion(const QString& version) {
    if (version.size() < 2) return version;
    return version.left(1) + QLatin1Char('.') + version.mid(1);
}

}  // namespace qv::update
