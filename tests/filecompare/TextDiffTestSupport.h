#pragma once
// Writing small files for the file comparison tests.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace qv::fctest {

inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    return path;
}

}  // namespace qv::fctest
