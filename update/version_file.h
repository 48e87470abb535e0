// The lines of the version file beyond its bracketed version. No Windows API
// here: the signature itself is checked by the caller.
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

}  // namespace update
