#include "platform/Sha256.h"

#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>

Sha256Digest Sha256(const void* data, size_t size) {
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_Digest(data, size, digest.data(), &length, EVP_sha256(), nullptr) != 1 ||
        length != digest.size()) {
        std::fputs("libcrypto could not compute SHA-256\n", stderr);
        std::abort();
    }
    return digest;
}
