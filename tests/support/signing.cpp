#include "support/signing.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include "platform/files.h"
#include "platform/hash.h"
#include "platform/hex.h"
#include "support/paths.h"
#include "test_config.h"
#include "update/version_file.h"

namespace testing_support {
namespace {

// The fixture is a SEC1 "EC PRIVATE KEY": for P-256 its DER has a fixed
// layout, with the secret at byte 7 and the public point at byte 57.
struct TestKey {
  std::string d, x, y;
};

const TestKey& testKey() {
  static const TestKey key = [] {
    TestKey k;
    std::string der(256, '\0');
    DWORD size = static_cast<DWORD>(der.size());
    if (!::CryptStringToBinaryA(kTestKeyPem, 0, CRYPT_STRING_BASE64HEADER,
                                reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr)) {
      return k;
    }
    der.resize(size);
    const std::string head("\x30\x77\x02\x01\x01\x04\x20", 7);
    if (der.size() != 121 || der.compare(0, head.size(), head) != 0 ||
        static_cast<unsigned char>(der[56]) != 0x04) {
      return k;
    }
    k.d = der.substr(7, 32);
    k.x = der.substr(57, 32);
    k.y = der.substr(89, 32);
    return k;
  }();
  return key;
}

}  // namespace

std::string testPublicKey() {
  return testKey().x + testKey().y;
}

std::string signWithTestKey(std::string_view message) {
  const TestKey& k = testKey();
  if (k.d.empty()) return {};
  platform::UniqueAlgorithm algorithm;
  if (::BCryptOpenAlgorithmProvider(algorithm.put(), BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0) !=
      0) {
    return {};
  }
  BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
  std::string blob(reinterpret_cast<const char*>(&header), sizeof header);
  blob += k.x + k.y + k.d;
  platform::UniqueCngKey key;
  if (::BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, key.put(),
                            reinterpret_cast<PUCHAR>(blob.data()), static_cast<ULONG>(blob.size()),
                            0) != 0) {
    return {};
  }
  std::string digest = platform::sha256(message);
  std::string signature(64, '\0');
  ULONG got = 0;
  if (::BCryptSignHash(key.get(), nullptr, reinterpret_cast<PUCHAR>(digest.data()), 32,
                       reinterpret_cast<PUCHAR>(signature.data()), 64, &got, 0) != 0 ||
      got != 64) {
    return {};
  }
  return signature;
}

std::string signLines(std::string_view lines) {
  std::string message(update::kSignatureContext);
  message += lines;
  return std::string(lines) + "sig=" + platform::toHex(signWithTestKey(message)) + "\r\n";
}

std::string authenticodeSigned(const std::string& exe, TestPublisher who) {
  static const TempFolder folder("kelvora-codesign");
  const std::string name = who == TestPublisher::A ? "A" : "B";
  const std::string key = unixPath(folder / (name + ".key"));
  const std::string certificate = unixPath(folder / (name + ".crt"));
  const std::string out = folder / "signed.exe";
  if (!platform::fileExists(folder / (name + ".crt")) &&
      !runUnix("openssl req -x509 -newkey rsa:2048 -nodes -days 30 -subj '/CN=Kelvora Test "
               "Publisher " +
               name + "' -addext extendedKeyUsage=codeSigning -keyout '" + key + "' -out '" +
               certificate + "' 2>/dev/null")) {
    return {};
  }
  ::DeleteFileA(out.c_str());
  if (!runUnix("osslsigncode sign -certs '" + certificate + "' -key '" + key + "' -h sha256 -in '" +
               unixPath(windowsPath(exe)) + "' -out '" + unixPath(out) + "' >/dev/null")) {
    return {};
  }
  return platform::readFile(out);
}

std::string signedVersionFile(std::string_view version, std::string_view exe) {
  std::string lines = "[";
  lines += version;
  lines += "]\r\nsha256=" + platform::toHex(platform::sha256(exe));
  lines += "\r\nsize=" + std::to_string(exe.size()) + "\r\n";
  return signLines(lines);
}

}  // namespace testing_support
