#include "platform/hash.h"

#include <algorithm>
#include <vector>

#include "platform/hex.h"

namespace platform {

Sha256::Sha256() {
  const CngApi& api = cng();
  ok_ =
      api &&
      api.BCryptOpenAlgorithmProvider(algorithm_.put(), BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
      api.BCryptCreateHash(algorithm_.get(), hash_.put(), nullptr, 0, nullptr, 0, 0) == 0;
}

void Sha256::update(std::string_view bytes) {
  while (ok_ && !bytes.empty()) {
    const ULONG chunk = static_cast<ULONG>(std::min<std::size_t>(bytes.size(), 1u << 30));
    auto* data = reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data()));
    ok_ = cng().BCryptHashData(hash_.get(), data, chunk, 0) == 0;
    bytes.remove_prefix(chunk);
  }
}

std::string Sha256::finish() {
  std::string digest(32, '\0');
  ok_ = ok_ &&
        cng().BCryptFinishHash(hash_.get(), reinterpret_cast<PUCHAR>(digest.data()), 32, 0) == 0;
  const bool done = ok_;
  ok_ = false;
  return done ? digest : std::string();
}

std::string sha256(std::string_view bytes) {
  Sha256 hash;
  hash.update(bytes);
  return hash.finish();
}

std::string sha256OfFile(HANDLE file) {
  LARGE_INTEGER zero = {};
  if (!::SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) return {};
  Sha256 hash;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      return {};
    }
    if (got == 0) break;
    hash.update(std::string_view(buffer.data(), got));
  }
  const std::string digest = hash.finish();
  return digest.empty() ? std::string() : toHex(digest);
}

}  // namespace platform
