#include "platform/Sha256.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstdio>
#include <cstdlib>

namespace {

// The algorithm provider is opened once and kept for the process.
BCRYPT_ALG_HANDLE Sha256Provider() {
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            return BCRYPT_ALG_HANDLE{};
        return handle;
    }();
    return provider;
}

}  // namespace

Sha256Digest Sha256(const void* data, size_t size) {
    Sha256Digest digest{};
    const BCRYPT_ALG_HANDLE provider = Sha256Provider();
    // BCryptHash takes at most 4 GiB at once; nothing we hash comes near.
    if (!provider || size > 0xFFFFFFFFu ||
        !BCRYPT_SUCCESS(BCryptHash(provider, nullptr, 0, static_cast<PUCHAR>(const_cast<void*>(data)),
                                   static_cast<ULONG>(size), digest.data(), static_cast<ULONG>(digest.size())))) {
        std::fputs("CNG could not compute SHA-256\n", stderr);
        std::abort();
    }
    return digest;
}
