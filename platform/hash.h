// SHA-256 through CNG (Windows 7 calls only). Any thread.
#pragma once

#include <string>
#include <string_view>

#include "platform/handles.h"

namespace platform {

// A running SHA-256. A failed CNG call (or no bcrypt.dll in the system
// folder) makes every later step fail, and finish() give the empty text.
class Sha256 {
 public:
  Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(std::string_view bytes);
  // The 32-byte digest; empty after any failure. Once only.
  std::string finish();

 private:
  UniqueAlgorithm algorithm_;  // outlives the hash object made from it
  UniqueHash hash_;
  bool ok_ = false;
};

// The 32-byte digest of `bytes`; empty when CNG fails.
std::string sha256(std::string_view bytes);

// The digest of everything in an open file, read from its start, as 64
// lowercase hex digits; empty when it cannot be read. The file position moves.
std::string sha256OfFile(HANDLE file);

}  // namespace platform
