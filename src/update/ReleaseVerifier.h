#pragma once
// Nothing is installed unless it is the release the project signed. The
// release manager signs the version file with the project's Ed25519 key;
// the version file names the archive's length and SHA-256. So a signature
// that verifies over the version file, and an archive of that length and
// digest, together prove the archive is the one that was signed, and a
// tampered archive, a replayed old signature or a forged version file
// each fail one of the two checks.

#include <QByteArray>
#include <QString>

namespace qv::update {

constexpr int kEd25519PublicKeyLength = 32;
constexpr int kEd25519SignatureLength = 64;

class ReleaseVerifier {
public:
    // The 32 raw bytes of an Ed25519 public key.
    explicit ReleaseVerifier(QByteArray publicKey);

    // Empty when `archivePath` is the release that `versionFile` describes and
    // `signature` is the key's signature of `versionFile`; otherwise why not.
    QString verify(const QByteArray& versionFile, const QByteArray& signature, const QString& archivePath) const;

    bool signatureHolds(const QByteArray& message, const QByteArray& signature) const;

    // The file's SHA-256, read in blocks; empty with `error` set when it cannot be read.
    static QByteArray sha256OfFile(const QString& path, QString* error);

private:
    QByteArray m_publicKey;
};

// The key the project's releases are signed with (see scripts/release).
QByteArray releasePublicKey();

}  // namespace qv::update
