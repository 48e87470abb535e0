#include "platform/signature.h"

#include <string>

#include "platform/hash.h"

namespace platform {
namespace {

constexpr std::size_t kCoordinate = 32;

}  // namespace

bool verifyEcdsaP256(std::string_view publicKey, std::string_view message,
                     std::string_view signature) {
  if (publicKey.size() != 2 * kCoordinate || signature.size() != 2 * kCoordinate) return false;
  std::string digest = sha256(message);
  if (digest.size() != 32) return false;

  const CngApi& api = cng();
  if (!api) return false;
  UniqueAlgorithm algorithm;
  if (api.BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) !=
      0) {
    return false;
  }
  // BCRYPT_ECCPUBLIC_BLOB: the header, then X and Y.
  std::string blob(sizeof(BCRYPT_ECCKEY_BLOB), '\0');
  BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kCoordinate};
  blob.replace(0, sizeof header, reinterpret_cast<const char*>(&header), sizeof header);
  blob += publicKey;
  UniqueCngKey key;
  if (api.BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, key.put(),
                              reinterpret_cast<PUCHAR>(blob.data()),
                              static_cast<ULONG>(blob.size()), 0) != 0) {
    return false;
  }
  std::string rs(signature);
  return api.BCryptVerifySignature(key.get(), nullptr, reinterpret_cast<PUCHAR>(digest.data()),
                                   static_cast<ULONG>(digest.size()),
                                   reinterpret_cast<PUCHAR>(rs.data()),
                                   static_cast<ULONG>(rs.size()), 0) == 0;
}

}  // namespace platform
