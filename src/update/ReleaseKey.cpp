#include "update/ReleaseVerifier.h"

namespace qv::update {

QByteArray releasePublicKey() {
    // Made with `scripts/release keygen`; the private half never enters the repository.
    return QByteArray::fromHex("f8a73586634ca2aa6d0bf6b9bd894f4fce4c0feec75390296515328efadfef0c");
}

}  // namespace qv::update
