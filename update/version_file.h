// Reading the update server's version file: its bracketed version, the
// lines of a signed file, and the release they name once checked. No
// Windows API here: the signature check is handed in.
//
// A signed version file, byte for byte (other tools produce it):
//   [1.3]
//   sha256=<64 lowercase hex digits of the exe>
//   size=<the exe's length in decimal bytes>
//   sig=<128 hex digits: r then s of an ECDSA P-256 signature with SHA-256>
// The signature covers kSignatureContext followed by every byte of the file
// before the "s" of "sig=". Lines end in LF or CR LF; the signature line is
// the last one, with at most one line break after it. Other lines may stand
// before it; they are signed too.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace update {

// Largest version file taken: anything bigger is not one.
inline constexpr std::size_t kMaxVersionFile = 64 * 1024;

inline constexpr std::string_view kSignatureContext = "kelvora-version-v1\n";

struct SignedVersionFile {
  std::string version;     // between the first brackets, not yet checked
  std::string sha256;      // 64 lowercase hex digits
  std::uint64_t size = 0;  // bytes
  std::string signature;   // 64 bytes, r then s, big-endian
  std::string message;     // exactly what the signature covers
};

// nullopt unless the file holds one well-formed sha256=, size= and sig= line
// each and the signature line is the last.
std::optional<SignedVersionFile> parseSignedVersionFile(std::string_view body);

// The SHA-256 an unsigned version file may carry on a line "sha256=" + 64 hex
// digits, lowercased; nullopt when there is no such line.
std::optional<std::string> parseSha256Line(std::string_view body);

// A P-256 public key as 128 hex digits (X then Y) to its 64 bytes; nullopt
// for anything else.
std::optional<std::string> parsePublicKey(std::string_view hex);

// The version in a version file's bytes: the text (up to the first zero
// byte) between the first "[" and the first "]". Empty for an answer that
// starts with "<" (an HTML page), for missing brackets, "]" before "[", or
// nothing between them.
std::string parseVersionFile(std::string_view body);

// What the server offers, once checked.
struct Release {
  std::string version;  // passes isSafeVersion
  std::string sha256;   // 64 lowercase hex digits; empty when an unsigned file names none
  long long size = -1;  // the exe's bytes; -1 when an unsigned file names none
};

// Whether `signature` (r then s) over `message` holds under `publicKey`.
using SignatureCheck = bool (*)(std::string_view publicKey, std::string_view message,
                                std::string_view signature);

// A version file's bytes checked as this build must: `publicKey` is the
// build's key (64 bytes, X then Y), or empty for a build without one. With a
// key only a file whose signature holds under `verify` counts. nullopt
// means no answer.
std::optional<Release> checkVersionFile(std::string_view body, std::string_view publicKey,
                                        SignatureCheck verify);

}  // namespace update
