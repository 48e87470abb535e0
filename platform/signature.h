// ECDSA P-256 signature checks through CNG (Windows 7 calls only). Any thread.
#pragma once

#include <string_view>

namespace platform {

// True only when `signature` (64 bytes: r then s, big-endian) is a valid
// signature of SHA-256(`message`) under `publicKey` (64 bytes: X then Y).
// Any malformed input or CNG failure gives false.
bool verifyEcdsaP256(std::string_view publicKey, std::string_view message,
                     std::string_view signature);

}  // namespace platform
