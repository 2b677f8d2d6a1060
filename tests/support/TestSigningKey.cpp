#include "support/TestSigningKey.h"

#include <openssl/evp.h>

#include <gtest/gtest.h>

namespace qv::test {

TestSigningKey::TestSigningKey() : m_key(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {
    EXPECT_NE(m_key, nullptr);
}

TestSigningKey::~TestSigningKey() { EVP_PKEY_free(m_key); }

QByteArray TestSigningKey::publicKey() const {
    QByteArray key(32, '\0');
    size_t length = key.size();
    EXPECT_EQ(EVP_PKEY_get_raw_public_key(m_key, reinterpret_cast<unsigned char*>(key.data()), &length), 1);
    return key.left(static_cast<qsizetype>(length));
}

QByteArray TestSigningKey::sign(const QByteArray& message) const {
    QByteArray signature(64, '\0');
    size_t length = signature.size();
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const bool ok = context && EVP_DigestSignInit(context, nullptr, nullptr, nullptr, m_key) == 1 &&
                    EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                                   reinterpret_cast<const unsigned char*>(message.constData()), message.size()) == 1;
    EVP_MD_CTX_free(context);
    EXPECT_TRUE(ok);
    return signature.left(static_cast<qsizetype>(length));
}

}  // namespace qv::test
