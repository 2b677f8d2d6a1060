#include "update/ReleaseVerifier.h"
#include "support/TestSigningKey.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace qv::update {
namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

QByteArray versionFileFor(const QByteArray& archive) {
    return "00200:a.tar.xz:" + QByteArray::number(archive.size()) + ':' +
           QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex() + '\n';
}

class ReleaseVerifierTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    test::TestSigningKey key;
    ReleaseVerifier verifier{key.publicKey()};
    const QByteArray archive = QByteArray(300000, 'a') + "end";
    const QByteArray versionFile = versionFileFor(archive);
    const QString archivePath = writeFile(dir, QStringLiteral("a.tar.xz"), archive);
};

TEST_F(ReleaseVerifierTest, ASignedReleaseWithItsOwnArchivePasses) {
    EXPECT_EQ(ReleaseVerifier::sha256OfFile(archivePath, nullptr),
              QCryptographicHash::hash(archive, QCryptographicHash::Sha256));
    EXPECT_EQ(verifier.verify(versionFile, key.sign(versionFile), archivePath), QString());
}

TEST_F(ReleaseVerifierTest, AnyChangeToTheArchiveTheVersionFileOrTheSignatureFails) {
    const QByteArray signature = key.sign(versionFile);
    // A tampered archive of the same length, under the genuine version file and signature.
    QByteArray tampered = archive;
    tampered[1000] = 'b';
    const QString tamperedPath = writeFile(dir, QStringLiteral("t.tar.xz"), tampered);
    EXPECT_FALSE(verifier.verify(versionFile, signature, tamperedPath).isEmpty());
    // The version file rewritten for the tampered archive, with the old signature.
    EXPECT_FALSE(verifier.verify(versionFileFor(tampered), signature, tamperedPath).isEmpty());
    // A shorter or longer archive.
    EXPECT_FALSE(verifier.verify(versionFile, signature, writeFile(dir, QStringLiteral("s"), archive.chopped(1))).isEmpty());
    EXPECT_FALSE(verifier.verify(versionFile, signature, writeFile(dir, QStringLiteral("l"), archive + 'x')).isEmpty());
    // A broken, truncated or missing signature, and one by another key.
    QByteArray flipped = signature;
    flipped[10] = char(flipped[10] ^ 1);
    EXPECT_FALSE(verifier.verify(versionFile, flipped, archivePath).isEmpty());
    EXPECT_FALSE(verifier.verify(versionFile, signature.left(63), archivePath).isEmpty());
    EXPECT_FALSE(verifier.verify(versionFile, {}, archivePath).isEmpty());
    test::TestSigningKey other;
    EXPECT_FALSE(verifier.verify(versionFile, other.sign(versionFile), archivePath).isEmpty());
    // The program's own key does not accept what a test key signed.
    EXPECT_FALSE(ReleaseVerifier(releasePublicKey()).verify(versionFile, signature, archivePath).isEmpty());
    // A missing archive.
    EXPECT_FALSE(verifier.verify(versionFile, signature, dir.filePath(QStringLiteral("none"))).isEmpty());
}

TEST_F(ReleaseVerifierTest, ASignedVersionFileThatDescribesNoArchiveIsRefused) {
    const QByteArray bare = "00200:a.tar.xz\n";
    EXPECT_FALSE(verifier.verify(bare, key.sign(bare), archivePath).isEmpty());
}

TEST_F(ReleaseVerifierTest, TheReleaseScriptSignsWhatTheProgramVerifies) {
    const QString script = QStringLiteral(QV_SOURCE_DIR "/../scripts/release");
    const QString keyFile = dir.filePath(QStringLiteral("key.pem"));
    QProcess keygen;
    keygen.start(script, {QStringLiteral("keygen"), keyFile});
    ASSERT_TRUE(keygen.waitForFinished(30000));
    ASSERT_EQ(keygen.exitCode(), 0) << keygen.readAllStandardError().toStdString();
    const QByteArray publicKey = QByteArray::fromHex(keygen.readAllStandardOutput().trimmed());
    ASSERT_EQ(publicKey.size(), kEd25519PublicKeyLength);
    EXPECT_EQ(QFile(keyFile).permissions() & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

    QProcess sign;
    sign.start(script, {QStringLiteral("sign"), keyFile, dir.path(), QStringLiteral("a.tar.xz"), QStringLiteral("00200")});
    ASSERT_TRUE(sign.waitForFinished(30000));
    ASSERT_EQ(sign.exitCode(), 0) << sign.readAllStandardError().toStdString();
    QFile written(dir.filePath(QStringLiteral("update.ver"))), signature(dir.filePath(QStringLiteral("a.tar.xz.sig")));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    ASSERT_TRUE(signature.open(QIODevice::ReadOnly));
    const QByteArray versionBytes = written.readAll();
    EXPECT_EQ(versionBytes, versionFile);
    EXPECT_EQ(ReleaseVerifier(publicKey).verify(versionBytes, signature.readAll(), archivePath), QString());

    // A second key would orphan every copy that trusts the first.
    QProcess again;
    again.start(script, {QStringLiteral("keygen"), keyFile});
    ASSERT_TRUE(again.waitForFinished(30000));
    EXPECT_NE(again.exitCode(), 0);
}

}  // namespace
}  // namespace qv::update
