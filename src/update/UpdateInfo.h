#pragma once
// What the server's version file says about the newest release, and how a
// version compares with the installed one.
//
// The file is one line of tokens separated by ":":
//   BUILD:ARCHIVE[:SIZE:SHA256]
// BUILD is a decimal build number, ARCHIVE the release archive's file name in
// the same server folder, SIZE its length in bytes and SHA256 its digest in
// hexadecimal. The last two make the release installable: the signature
// beside the archive covers this file's bytes, so they are what ties the
// archive to the signing key. Older servers that give only the first two
// tokens still answer the question "is there a new version".

#include <QByteArray>
#include <QString>

namespace qv::update {

// Only this much of the version file is read.
constexpr int kVersionFileReadLength = 1024;
// Versions longer than this are cut; the archive name likewise.
constexpr int kVersionLength = 11;
constexpr int kArchiveNameLength = 255;

struct UpdateInfo {
    QString version;        // empty when the file had fewer than two tokens
    QString archive;
    qint64 size = -1;       // -1 when not given or not a number
    QByteArray sha256;      // 32 bytes, or empty when not given or malformed

    bool offersVersion() const { return !version.isEmpty(); }
    // A release we are willing to download and check: a plain file name, a
    // length and a digest.
    bool installable() const;
};

UpdateInfo readVersionFile(const QByteArray& bytes);

// The integer value of a version's first five characters, read as leading
// decimal digits ("00100" is 100, "12a" is 12, "abc" is 0).
int versionNumber(const QString& version);

// Whether the server's version is strictly newer than the installed one.
bool NewVerAvaible(const UpdateInfo& info, const QString& installedVersion);

// A build number as people read it: its first character, a point and the
// rest ("10203" reads "1.0203").
QString displayVersion(const QString& version);

}  // namespace qv::update
