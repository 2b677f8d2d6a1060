#include "filecompare/TextConventions.h"

#include "filecompare/FileCompareRun.h"

#include <QFile>

namespace qv {
namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

}  // namespace

TextConventions TextConventions::of(const QString& path) {
    TextConventions conventions;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return conventions;
    const QByteArray head = file.read(FileCompareRun::kSniffBytes);
    conventions.byteOrderMark = head.startsWith(kUtf8Mark);
    if (head.contains("\r\n")) conventions.lineEnd = "\r\n";
    else if (head.contains('\r')) conventions.lineEnd = "\r";
    return conventions;
}

QByteArray TextConventions::render(const QStringList& lines) const {
    QByteArray out = byteOrderMark ? kUtf8Mark : QByteArray();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i) out += lineEnd;
        out += lines[i].toUtf8();
    }
    return out;
}

}  // namespace qv
