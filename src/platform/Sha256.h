#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// SHA-256 from the platform's own crypto library (posix/: OpenSSL's
// libcrypto; win32/: CNG). Never fails for in-memory data: a library that
// cannot hash is a broken installation, and the program stops.
using Sha256Digest = std::array<uint8_t, 32>;

Sha256Digest Sha256(const void* data, size_t size);
inline Sha256Digest Sha256(const std::string& text) { return Sha256(text.data(), text.size()); }

// Lower-case hex of every byte ("ba7816bf...").
std::string DigestHex(const Sha256Digest& digest);
