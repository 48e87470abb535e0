// The version file's signature, checked with CNG as the program checks it.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/hash.h"
#include "platform/hex.h"
#include "platform/signature.h"
#include "support/paths.h"
#include "support/signing.h"
#include "support/versions.h"
#include "update/update_check.h"

namespace {

using testing_support::signWithTestKey;
using testing_support::testPublicKey;

std::string flipped(std::string bytes, std::size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
  return bytes;
}

TEST(Signature, HoldsOnlyForTheSignedBytesUnderTheRightKey) {
  const std::string key = testPublicKey();
  ASSERT_EQ(key.size(), 64u);
  const std::string message = "kelvora-version-v1\n[1.3]\r\nsize=2\r\n";
  const std::string signature = signWithTestKey(message);
  ASSERT_EQ(signature.size(), 64u) << "CNG signs with the test key";
  EXPECT_TRUE(platform::verifyEcdsaP256(key, message, signature));

  // A valid point, but not the test key's.
  const std::string otherKey = *platform::fromHex(
      "b1092f50ea0c0dfa65f267aa8bd6fc3e0b23b87488f05d61b08d83a3810357b8"
      "ae36f61fbda67ddc441af4102c8b99abaeba30198682f90861ec0b23629b6721");
  struct Case {
    const char* what;
    std::string key, message, signature;
  };
  const Case cases[] = {
      {"a byte of the message", key, flipped(message, 21), signature},
      {"a byte of r", key, message, flipped(signature, 3)},
      {"a byte of s", key, message, flipped(signature, 60)},
      {"a byte of X", flipped(key, 7), message, signature},
      {"a byte of Y", flipped(key, 40), message, signature},
      {"another key", otherKey, message, signature},
      {"short signature", key, message, signature.substr(0, 63)},
      {"no signature", key, message, ""},
      {"short key", key.substr(1), message, signature},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(platform::verifyEcdsaP256(c.key, c.message, c.signature)) << c.what;
  }
}

TEST(Signature, AFileFromTheReleaseScriptPasses) {
  const std::string probe = platform::readFile(testing_support::besideThisExe("update_probe.exe"));
  const std::string body =
      platform::readFile(testing_support::besideThisExe("release-version.txt"));
  ASSERT_FALSE(body.empty());
  const auto release = update::checkVersionFile(body, testPublicKey(), platform::verifyEcdsaP256);
  ASSERT_TRUE(release) << body;
  EXPECT_EQ(release->version, testing_support::newerVersion());
  EXPECT_EQ(release->sha256, platform::toHex(platform::sha256(probe)));
  EXPECT_EQ(release->size, static_cast<long long>(probe.size()));
  // The tests' own signing says the same.
  EXPECT_TRUE(update::checkVersionFile(testing_support::signedVersionFile("1.3", probe),
                                       testPublicKey(), platform::verifyEcdsaP256));
  // Without a key the same file still names its version and hash.
  const auto unsignedRead = update::checkVersionFile(body, "", platform::verifyEcdsaP256);
  ASSERT_TRUE(unsignedRead);
  EXPECT_EQ(unsignedRead->sha256, release->sha256);
}

}  // namespace
