#include "filecompare/FileCompareRun.h"

#include "platform/ExtendedAttributes.h"
#include "platform/TemporaryCleanup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>

namespace qv {
namespace {

const char* const kTagsAttribute = "user.xdg.tags";

}  // namespace

bool FileCompareRun::IsThisTextFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray sample = f.read(kSniffBytes);
    if (sample.isEmpty()) return false;
    if (sample.size() == 1) return true;
    return !sample.left(sample.size() - 1).contains('\0');
}

FileCompareType FileCompareRun::resolveType(const QString& left, const QString& right, FileCompareType type) {
    if (type != FileCompareType::Automatic) return type;
    QString name = QFileInfo(left).fileName();
    if (QFileInfo(left).suffix().isEmpty()) name = QFileInfo(right).fileName();
    if (!QFileInfo(name).suffix().isEmpty()) {
        static const QMimeDatabase db;
        const QMimeType mime = db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        if (mime.isValid() && !mime.isDefault() && mime.inherits(QStringLiteral("text/plain")))
            return FileCompareType::Text;
    }
    return IsThisTextFile(left) ? FileCompareType::Text : FileCompareType::Binary;
}

std::optional<QString> FileCompareRun::CheckTheFile(const QString& path) {
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly)) return path;
    const QByteArray sample = in.read(kSniffBytes);
    const bool crlf = sample.contains("\r\n");
    if (!crlf && !sample.contains('\r')) return path;
    // The prefix lets a later start clear what a killed run left; the lock keeps it from
    // clearing this one while the diff still reads it.
    auto temp = std::make_unique<QTemporaryFile>(QDir::temp().filePath(QString::fromStdString(platform::temporaryFolderTemplate("dif"))));
    if (!temp->open()) return std::nullopt;
    platform::markInUse(temp->handle());
    in.seek(0);
    while (!in.atEnd()) {
        QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty()) break;
        if (crlf) {
            chunk.replace('\r', QByteArray());
        } else {
            chunk.replace('\r', '\n');
        }
        if (temp->write(chunk) != chunk.size()) return std::nullopt;
    }
    if (!temp->flush()) return std::nullopt;
    const QString name = temp->fileName();
    m_temporaries.push_back(std::move(temp));
    return name;
}

int FileCompareRun::CompareMetadataFile(const QString& file1, const QString& file2) {
    const std::string a = QFile::encodeName(file1).toStdString(), b = QFile::encodeName(file2).toStdString();
    int result = kEqual;
    if (!a.empty() && !b.empty() && platform::readTags(a, true) != platform::readTags(b, true)) result |= kTagsDiffer;
    // Tags live in an attribute of their own, already compared above.
    platform::AttributeMap x, y;
    if (platform::readUserAttributes(a, true, x) != 0) x.clear();
    if (platform::readUserAttributes(b, true, y) != 0) y.clear();
    x.erase(kTagsAttribute);
    y.erase(kTagsAttribute);
    if (x != y) result |= kAttributesDiffer;
    return result;
}

FileCompareRun::QuickResult FileCompareRun::quickCheck(const QString& left, const QString& right) {
    QuickResult result;
    QProcess diff;
    diff.start(QStringLiteral("/usr/bin/diff"), {QStringLiteral("-q"), left, right});
    if (!diff.waitForStarted()) return result;
    diff.closeWriteChannel();
    diff.waitForFinished(-1);
    result.started = diff.exitStatus() == QProcess::NormalExit && diff.exitCode() <= 1;
    result.equal = result.started && diff.exitCode() == 0;
    QString message = QString::fromUtf8(diff.readAllStandardOutput() + diff.readAllStandardError()).trimmed();
    message.replace(left, QFileInfo(left).fileName());
    message.replace(right, QFileInfo(right).fileName());
    result.message = message;
    return result;
}

FileCompareRun::UnifiedResult FileCompareRun::unifiedDiff(const QString& left, const QString& right,
                                                         const QString& leftLabel, const QString& rightLabel,
                                                         int context) {
    UnifiedResult result;
    QProcess diff;
    // --text: a file the line diff takes as text is compared line by line, whatever bytes it holds.
    diff.start(QStringLiteral("/usr/bin/diff"), {QStringLiteral("--text"), QStringLiteral("-U%1").arg(context),
                                                 QStringLiteral("--label"), leftLabel, QStringLiteral("--label"),
                                                 rightLabel, QStringLiteral("--"), left, right});
    if (!diff.waitForStarted()) return result;
    diff.closeWriteChannel();
    diff.waitForFinished(-1);
    result.started = diff.exitStatus() == QProcess::NormalExit && diff.exitCode() <= 1;
    result.equal = result.started && diff.exitCode() == 0;
    result.output = diff.readAllStandardOutput();
    return result;
}

}  // namespace qv
