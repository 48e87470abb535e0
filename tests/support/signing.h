// Signing with the test key, as a release would sign with the real one. The
// test key's private half is a fixture: tests/fixtures/TEST-ONLY-update-signing-key.pem.
#pragma once

#include <string>
#include <string_view>

namespace testing_support {

// The test key's public point, 64 bytes (X then Y): what the test builds carry.
std::string testPublicKey();

// An ECDSA P-256 / SHA-256 signature of `message` with the test key, r then
// s, through CNG; empty when CNG refuses.
std::string signWithTestKey(std::string_view message);

// `lines` (each ending in a line break) followed by the signature line over
// them, as the program checks it.
std::string signLines(std::string_view lines);

// "[version]", the exe's "sha256=" and "size=" lines, then the signature.
std::string signedVersionFile(std::string_view version, std::string_view exe);

// Authenticode test publishers, "Kelvora Test Publisher A" and "B": each a
// self-signed code-signing certificate and key made with openssl on first
// use, kept in a temporary folder for the life of the test program.
enum class TestPublisher { A, B };

// The bytes of `exe` (a Windows path) signed by `who` with osslsigncode
// (SHA-256); empty when signing fails.
std::string authenticodeSigned(const std::string& exe, TestPublisher who);

}  // namespace testing_support
