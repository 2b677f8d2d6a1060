#pragma once
// An Ed25519 key pair made for one test, so that signed releases can be
// served without any private key living in the repository.

#include <QByteArray>

#include <memory>

typedef struct evp_pkey_st EVP_PKEY;

namespace qv::test {

class TestSigningKey {
public:
    TestSigningKey();
    ~TestSigningKey();
    TestSigningKey(const TestSigningKey&) = delete;
    TestSigningKey& operator=(const TestSigningKey&) = delete;

    QByteArray publicKey() const;                      // 32 raw bytes
    QByteArray sign(const QByteArray& message) const;  // 64 bytes

private:
    EVP_PKEY* m_key = nullptr;
};

}  // namespace qv::test
