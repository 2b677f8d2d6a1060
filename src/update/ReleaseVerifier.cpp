#include "update/ReleaseVerifier.h"

#include "base/Messages.h"
#include "update/UpdateInfo.h"

#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>

#include <memory>

namespace qv::update {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using MdContext = std::unique_ptr<EVP_MD_CTX, MdContextFree>;

const auto* bytes(const QByteArray& data) { return reinterpret_cast<const unsigned char*>(data.constData()); }

}  // namespace

ReleaseVerifier::ReleaseVerifier(QByteArray publicKey) : m_publicKey(std::move(publicKey)) {}

bool ReleaseVerifier::signatureHolds(const QByteArray& message, const QByteArray& signature) const {
    if (m_publicKey.size() != kEd25519PublicKeyLength || signature.size() != kEd25519SignatureLength) return false;
    const Key key(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(m_publicKey), m_publicKey.size()));
    const MdContext context(EVP_MD_CTX_new());
    if (!key || !context) return false;
    // Ed25519 hashes the message itself: no digest is named, and the message goes in whole.
    if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) return false;
    return EVP_DigestVerify(context.get(), bytes(signature), signature.size(), bytes(message), message.size()) == 1;
}

QByteArray ReleaseVerifier::sha256OfFile(const QString& path, QString* error) {
    QFile file(path);
    const MdContext context(EVP_MD_CTX_new());
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = Messages::format("updateUnreadableArchive", path, file.errorString());
        return {};
    }
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return {};
    QByteArray block(1 << 16, Qt::Uninitialized);
    for (;;) {
        const qint64 n = file.read(block.data(), block.size());
        if (n < 0) {
            if (error) *error = Messages::format("updateUnreadableArchive", path, file.errorString());
            return {};
        }
        if (n == 0) break;
        EVP_DigestUpdate(context.get(), block.constData(), static_cast<size_t>(n));
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &length) != 1) return {};
    return QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(length));
}

QString ReleaseVerifier::verify(const QByteArray& versionFile, const QByteArray& signature, const QString& archivePath) const {
    if (!signatureHolds(versionFile, signature)) return Messages::text("updateBadSignature");
    const UpdateInfo info = readVersionFile(versionFile);
    if (!info.installable()) return Messages::text("updateNotInstallable");
    // The length first: a wrong one answers without reading a large file.
    if (QFileInfo(archivePath).size() != info.size) return Messages::text("updateDigestMismatch");
    QString error;
    const QByteArray digest = sha256OfFile(archivePath, &error);
    if (digest.isEmpty()) return error;
    if (digest != info.sha256) return Messages::text("updateDigestMismatch");
    return {};
}

}  // namespace qv::update
