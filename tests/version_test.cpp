#include "update/version.h"

#include "update/version_file.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

TEST(ParseVersionFile, TakesWhatStandsBetweenTheFirstBrackets) {
  struct Case {
    std::string body, version;
  };
  const Case cases[] = {
      {"[1.3]", "1.3"},
      {"version [1.3] released", "1.3"},
      {"abc[1.3]def[2.0]", "1.3"},
      {"[1.3]\r\nsha256=00ff\r\n", "1.3"},
      {"[]", ""},
      {"]1.3[", ""},  // "]" before "["
      {"[1.3", ""},
      {"1.3]", ""},
      {"1.3", ""},
      {"", ""},
      {"<html>[1.3]</html>", ""},  // an HTML page is no answer
      {" <html>[1.3]", "1.3"},     // only a leading "<" counts
      {std::string("[1.\0"
                   "3]",
                   6),
       ""},  // the text ends at the zero byte
      {std::string("[1.3]\0<", 7), "1.3"},
      {"[[1.3]]", "[1.3"},
      {"[中文]", "中文"},
  };
  for (const Case& c : cases) EXPECT_EQ(update::parseVersionFile(c.body), c.version) << c.body;
}

TEST(VersionLess, ComparesGroupsAsNumbersOnlyBetweenSafeVersions) {
  struct Case {
    std::string a, b;
    bool less;
  };
  const Case cases[] = {
      {"1.2", "1.3", true},
      {"1.3", "1.2", false},
      {"1.2", "1.10", true},
      {"1.10", "1.2", false},
      {"1.9", "1.10", true},
      {"1.10", "1.9", false},
      {"1.9.9", "1.10", true},
      {"1.10", "1.9.9", false},
      {"1.2", "1.2", false},
      {"1.2", "1.2.1", true},
      {"1.2.1", "1.2", false},
      {"1.2.0", "1.2", false},
      {"1.2", "1.2.0", false},
      {"01.3", "1.3", false},
      {"1.3", "01.3", false},
      {"1.3", "2", true},
      {"9.9.9.9", "10", true},
      {"99999.0", "99998.99999", false},
      {"", "1.2", false},
      {"1.2", "", false},
      {"", "", false},
      {"1.2", "1.\x80", false},
      {"1.2", "1.3 ", false},
      {"1.2", "1.3.0.0.0", false},
      {"1.2a", "1.3", false},
      {"1.2", "123456", false},
      {"1.2.3.4", "1.2.3.5", true},
      {"1.2.3.5", "1.2.3.4", false},
      {"1.2.3", "1.2.3.1", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(update::versionLess(c.a, c.b), c.less) << c.a << " < " << c.b;
  }
}

TEST(IsSafeVersion, OnlyDigitGroupsBecomeAFileName) {
  // 23 bytes is the longest there can be.
  for (const char* v :
       {"1.3", "1.10", "2.0.1", "1", "1.2.3.4", "99999.0", "11111.22222.33333.44444"}) {
    EXPECT_TRUE(update::isSafeVersion(v)) << v;
  }
  for (const char* v :
       {"", "1..3", ".1", "1.", "9\\..\\x", "1/2", "1\"2", "1:2", "1.3\r\n", "1\n3", "１.3", "1.3 ",
        "+1.3", "1.2.3.4.5", "123456.1", "11111.22222.33333.444444"}) {
    EXPECT_FALSE(update::isSafeVersion(v)) << v;
  }
  EXPECT_FALSE(update::isSafeVersion(std::string("1\0", 2)));
  EXPECT_FALSE(update::isSafeVersion(std::string(60 * 1024, '1')));
}

TEST(SignedVersionFile, TakesOneOfEachLineWithTheSignatureLast) {
  const std::string sha(64, 'a');
  const std::string sig(128, 'B');
  const std::string lines = "[1.3]\nsha256=" + sha + "\nsize=1234\n";
  const std::string crlf = "[1.3]\r\nsha256=" + sha + "\r\nsize=1234\r\n";
  struct Case {
    const char* what;
    std::string body;
    bool valid;
    std::size_t signedBytes;  // of the body, when valid
  };
  const Case cases[] = {
      {"LF", lines + "sig=" + sig, true, lines.size()},
      {"LF after the signature", lines + "sig=" + sig + "\n", true, lines.size()},
      {"CR LF", crlf + "sig=" + sig + "\r\n", true, crlf.size()},
      {"other lines are signed too", "Kelvora\n" + lines + "sig=" + sig, true, lines.size() + 8},
      {"two line breaks after", lines + "sig=" + sig + "\n\n", false, 0},
      {"a lone CR after", lines + "sig=" + sig + "\r", false, 0},
      {"signature not last", "[1.3]\nsig=" + sig + "\nsha256=" + sha + "\nsize=1\n", false, 0},
      {"signature twice", lines + "sig=" + sig + "\nsig=" + sig, false, 0},
      {"no signature", lines, false, 0},
      {"short signature", lines + "sig=" + sig.substr(2), false, 0},
      {"no sha256", "[1.3]\nsize=1\nsig=" + sig, false, 0},
      {"sha256 twice", lines + "sha256=" + sha + "\nsig=" + sig, false, 0},
      {"uppercase sha256", "[1.3]\nsha256=" + std::string(64, 'A') + "\nsize=1\nsig=" + sig, false,
       0},
      {"no size", "[1.3]\nsha256=" + sha + "\nsig=" + sig, false, 0},
      {"size twice", lines + "size=1234\nsig=" + sig, false, 0},
      {"size with a sign", "[1.3]\nsha256=" + sha + "\nsize=+1\nsig=" + sig, false, 0},
      {"size with a leading zero", "[1.3]\nsha256=" + sha + "\nsize=01\nsig=" + sig, false, 0},
      {"size too large", "[1.3]\nsha256=" + sha + "\nsize=" + std::string(19, '9') + "\nsig=" + sig,
       false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto file = update::parseSignedVersionFile(c.body);
    ASSERT_EQ(file.has_value(), c.valid);
    if (!file) continue;
    EXPECT_EQ(file->version, "1.3");
    EXPECT_EQ(file->sha256, sha);
    EXPECT_EQ(file->size, 1234u);
    EXPECT_EQ(file->signature, std::string(64, '\xBB'));
    EXPECT_EQ(file->message, "kelvora-version-v1\n" + c.body.substr(0, c.signedBytes));
  }
}

// What the check takes, with the signature check standing in: it holds only
// for the signature "BB..." under the key "KK...". The prompt and the compare
// around it are the update tests' concern.
TEST(CheckVersionFile, OnlyAVerifiedSafeVersionIsAnAnswer) {
  const std::string key(64, 'K');
  const update::SignatureCheck verify = [](std::string_view k, std::string_view message,
                                           std::string_view signature) {
    return k == std::string(64, 'K') && signature == std::string(64, '\xBB') &&
           message.substr(0, update::kSignatureContext.size()) == update::kSignatureContext;
  };
  const std::string sha(64, 'a');
  const auto signedFile = [&](const std::string& head, char sigDigit = 'B') {
    return head + "\r\nsha256=" + sha + "\r\nsize=1000\r\nsig=" + std::string(128, sigDigit) +
           "\r\n";
  };
  std::string bigVersion = "[";
  bigVersion.append(60 << 10, '9');
  bigVersion += ']';
  struct Case {
    const char* what;
    std::string body;
    bool keyed;                          // a build with the key
    std::optional<std::string> version;  // the answer's, or no answer
  };
  const Case cases[] = {
      {"signed", signedFile("[1.4]"), true, "1.4"},
      {"signed, text around", signedFile("Kelvora [1.4] build 7"), true, "1.4"},
      {"a signature that does not hold", signedFile("[1.4]", 'C'), true, std::nullopt},
      {"an unsigned file to a build with a key", "[1.4]", true, std::nullopt},
      {"empty brackets", signedFile("x[]y"), true, std::nullopt},
      {"an HTML page", signedFile("<html><body>[1.4]</body></html>"), true, std::nullopt},
      {"signed path traversal", signedFile("[9\\..\\..\\kelvora-escape]"), true, std::nullopt},
      {"signed version with a line break", signedFile("[1.4\r\n]"), true, std::nullopt},
      {"an empty body", "", true, std::nullopt},
      {"a build without a key: unsigned", "[1.4]", false, "1.4"},
      {"a build without a key: text around", "Kelvora [1.4] build 7\r\n", false, "1.4"},
      {"a build without a key: path traversal", "[9\\..\\..\\kelvora-escape]", false, std::nullopt},
      {"a build without a key: 60 KiB version", bigVersion, false, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto release = update::checkVersionFile(c.body, c.keyed ? key : "", verify);
    ASSERT_EQ(release.has_value(), c.version.has_value());
    if (!release) continue;
    EXPECT_EQ(release->version, *c.version);
    EXPECT_EQ(release->sha256, c.keyed ? sha : "");
    EXPECT_EQ(release->size, c.keyed ? 1000 : -1);
  }
}

TEST(PublicKey, ExactlyOneHundredAndTwentyEightHexDigits) {
  EXPECT_EQ(update::parsePublicKey(std::string(128, 'f')), std::string(64, '\xFF'));
  EXPECT_EQ(update::parsePublicKey(std::string(126, 'f')), std::nullopt);
  EXPECT_EQ(update::parsePublicKey(std::string(127, 'f') + "g"), std::nullopt);
  EXPECT_EQ(update::parsePublicKey(""), std::nullopt);
}

TEST(Sha256Line, FoundOnlyAsAWholeLine) {
  const std::string hex(64, 'a');
  const std::string upper(64, 'F');
  EXPECT_EQ(update::parseSha256Line("[1.3]\r\nsha256=" + hex + "\r\n"), hex);
  EXPECT_EQ(update::parseSha256Line("[1.3]\nsha256=" + upper), std::string(64, 'f'));
  EXPECT_EQ(update::parseSha256Line("[1.3]"), std::nullopt);
  EXPECT_EQ(update::parseSha256Line("xsha256=" + hex), std::nullopt);
  EXPECT_EQ(update::parseSha256Line("sha256=" + hex.substr(1) + "g\n"), std::nullopt);
  EXPECT_EQ(update::parseSha256Line("sha256=" + hex + "0\n"), std::nullopt);  // 65 digits
  EXPECT_EQ(update::parseSha256Line("sha256=abc\nsha256=" + hex), hex);
}

TEST(UpdateNames, FileName) {
  EXPECT_EQ(update::updateFileName("1.3"), "Kelvora v1.3.exe");
}

}  // namespace
