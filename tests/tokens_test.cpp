#include "lang/tokens.h"

#include <gtest/gtest.h>

#include "support/code_pages.h"
#include "support/utf16.h"

namespace {

using lang::Encoding;
using testing_support::cp936;
using testing_support::utf16be;
using testing_support::utf16le;

const char kXml[] =
    "<?xml version=\"1.0\"?>\r\n<Data key=\"installedLanguages\">zh_CN</Data>\r\n"
    "<Data key=\"lang\">zh_CN</Data>\r\n";
const char kXmlEnglish[] =
    "<?xml version=\"1.0\"?>\r\n<Data key=\"installedLanguages\">en_US</Data>\r\n"
    "<Data key=\"lang\">en_US</Data>\r\n";

TEST(DetectLayout, TellsUtf16FromAnsi) {
  struct Case {
    std::string bytes;
    Encoding encoding;
    std::size_t bom;
  };
  const Case cases[] = {
      {kXml, Encoding::Ansi, 0},
      {utf16le(kXml, true), Encoding::Utf16Le, 2},
      {utf16le(kXml, false), Encoding::Utf16Le, 0},
      {utf16be(kXml, true), Encoding::Utf16Be, 2},
      {utf16be(kXml, false), Encoding::Utf16Be, 0},
      {std::string("ab\0cd zh_CN", 11), Encoding::Ansi, 0},  // a stray zero is not UTF-16
      {"", Encoding::Ansi, 0},
  };
  for (const Case& c : cases) {
    const auto layout = lang::detectLayout(c.bytes);
    EXPECT_EQ(layout.encoding, c.encoding);
    EXPECT_EQ(layout.bomSize, c.bom);
  }
}

TEST(ReplaceToken, WorksInEveryEncodingAndLosesNothing) {
  struct Case {
    std::string chinese, english;
  };
  const Case cases[] = {
      {kXml, kXmlEnglish},
      {utf16le(kXml, true), utf16le(kXmlEnglish, true)},
      {utf16le(kXml, false), utf16le(kXmlEnglish, false)},
      {utf16be(kXml, true), utf16be(kXmlEnglish, true)},
      {utf16be(kXml, false), utf16be(kXmlEnglish, false)},
      // Zero bytes in ANSI content: everything after them is kept and searched.
      {std::string("a\0b zh_CN \0zh_CN", 16), std::string("a\0b en_US \0en_US", 16)},
  };
  for (const Case& c : cases) {
    int count = 0;
    EXPECT_EQ(
        lang::replaceToken(c.chinese, lang::kChineseToken, lang::kEnglishToken, cp936(), &count),
        c.english);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(lang::replaceToken(c.english, lang::kEnglishToken, lang::kChineseToken, cp936()),
              c.chinese);
    EXPECT_TRUE(lang::containsToken(c.chinese, lang::kChineseToken, cp936()));
    EXPECT_FALSE(lang::containsToken(c.english, lang::kChineseToken, cp936()));
  }
}

TEST(ReplaceToken, Utf16MatchesOnlyWholeCodeUnits) {
  // "?zh_CN" shifted by one byte: the ASCII bytes line up across units.
  std::string shifted = utf16le("xxxxxxxx", true);
  shifted += std::string("\x01z\0h\0_\0C\0N\0", 11);
  EXPECT_FALSE(lang::containsToken(shifted, lang::kChineseToken, cp936()));
  // An odd trailing byte is kept.
  std::string odd = utf16le("zh_CN zh_CN", true) + "\x7F";
  EXPECT_EQ(lang::replaceToken(odd, "zh_CN", "en_US", cp936()),
            utf16le("en_US en_US", true) + "\x7F");
}

TEST(ReplaceToken, AnsiKeepsDoubleByteStepping) {
  EXPECT_FALSE(lang::containsToken("\x81zh_CN", lang::kChineseToken, cp936()));
  // In 1252 the same byte is a character of its own (\x81 is undefined there).
  EXPECT_TRUE(lang::containsToken("\xE9zh_CN", lang::kChineseToken, testing_support::cp1252()));
  EXPECT_EQ(lang::replaceToken("\xD6\xD0zh_CN", "zh_CN", "en_US", cp936()),
            "\xD6\xD0"
            "en_US");
}

}  // namespace
