// Random bytes through the version-file parser, the token replace and the
// search for a PE file's signature, under the sanitizers on the native build.
// A fixed seed keeps failures repeatable.
#include <gtest/gtest.h>

#include <random>

#include "lang/tokens.h"
#include "platform/certificate_table.h"
#include "support/code_pages.h"
#include "update/version.h"
#include "update/version_file.h"

namespace {

std::string randomBytes(std::mt19937& rng) {
  static const std::string pieces[] = {
      "zh_CN",    "en_US",    "zh_",  "_CN",  "en_", "[", "]", "<", std::string(1, '\0'),
      "\xFF\xFE", "\xFE\xFF", "\x81", "中文", "\r\n"};
  std::uniform_int_distribution<int> length(0, 64);
  std::uniform_int_distribution<int> kind(0, 3);
  std::uniform_int_distribution<int> piece(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> byte(0, 255);
  std::string out;
  for (int n = length(rng); n > 0; --n) {
    if (kind(rng) == 0) {
      out += pieces[piece(rng)];
    } else {
      out += static_cast<char>(byte(rng));
    }
  }
  return out;
}

TEST(Fuzz, ParserAndReplaceSurviveRandomBytes) {
  std::mt19937 rng(20261208);
  const platform::LeadBytes& gbk = testing_support::cp936();
  int roundTrips = 0;
  for (int i = 0; i < 50000; ++i) {
    const std::string input = randomBytes(rng);
    const std::string version = update::parseVersionFile(input);
    ASSERT_LE(version.size(), input.size());
    if (!version.empty()) {
      ASSERT_NE(input.find(version), std::string::npos);
    }
    (void)update::versionLess(version, input);
    // A downloaded file's headers say where its signature is.
    if (const auto span = platform::certificateTable("MZ" + input, input.size())) {
      ASSERT_LE(span->offset + span->size, input.size());
    }
    ASSERT_LE(platform::firstSignedData(input).size(), input.size());

    // Replace and replace back gives the input whenever it held no token of
    // the other kind.
    for (const auto& [from, to] : {std::pair{lang::kChineseToken, lang::kEnglishToken},
                                   std::pair{lang::kEnglishToken, lang::kChineseToken}}) {
      const std::string there = lang::replaceToken(input, from, to, gbk);
      if (!lang::containsToken(input, to, gbk)) {
        ASSERT_EQ(lang::replaceToken(there, to, from, gbk), input) << i;
        ++roundTrips;
      }
      ASSERT_FALSE(lang::containsToken(there, from, gbk)) << i;
    }
  }
  EXPECT_GT(roundTrips, 50000);
}

}  // namespace
