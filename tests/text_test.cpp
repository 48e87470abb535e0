#include "platform/path.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include "support/code_pages.h"

namespace {

using platform::findText;
using platform::replaceAll;
using testing_support::cp1252;
using testing_support::cp932;
using testing_support::cp936;

TEST(FindText, StepsOverDoubleByteCharactersWhole) {
  struct Case {
    std::string text, needle;
    int start, expected;
    const platform::LeadBytes* cp = &cp936();
  };
  const Case cases[] = {
      {"abc zh_CN", "zh_CN", 1, 5},
      {"\x81zh_CN", "zh_CN", 1, -1},     // 0x81 'z' is one character
      {"\x81\x40zh_CN", "zh_CN", 1, 3},  // token right after a GBK character
      {"中文zh_CN", "zh_CN", 1, 5},
      {"zh_CN zh_CN", "zh_CN", 2, 7},
      {"zh_CN", "zh_CN", 0, 1},  // below 1 counts as 1
      {"zh_C", "zh_CN", 1, -1},
      {"", "zh_CN", 1, -1},
      {"abc", "", 1, -1},
      {std::string("a\0zh_CN", 7), "zh_CN", 1, 3},  // zero bytes are ordinary
      // Which bytes lead is the code page's: é is one byte in 1252, and
      // 0xA1-0xDF are one-byte katakana in 932, where 0x81 still leads.
      {"caf\xE9zh_CN", "zh_CN", 1, 5, &cp1252()},
      {"\x81zh_CN", "zh_CN", 1, 2, &cp1252()},
      {"\xB1zh_CN", "zh_CN", 1, 2, &cp932()},
      {"\x81zh_CN", "zh_CN", 1, -1, &cp932()},
      {"\xE0zh_CN", "zh_CN", 1, -1, &cp932()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(findText(c.text, c.needle, *c.cp, c.start), c.expected) << c.text;
  }
}

TEST(ReplaceAll, ReplacesEveryTokenInOnePass) {
  struct Case {
    std::string text, expected;
    int count;
    const platform::LeadBytes* cp = &cp936();
  };
  const Case cases[] = {
      {"zh_CN", "en_US", 1},
      {"<a>zh_CN</a><b>zh_CN</b>zh_CN", "<a>en_US</a><b>en_US</b>en_US", 3},
      {"ZH_CN Zh_CN zh_cn", "ZH_CN Zh_CN zh_cn", 0},  // case-sensitive
      {"\x81zh_CN", "\x81zh_CN", 0},
      {"中文zh_CN\r\n", "中文en_US\r\n", 1},
      {"zh_CNzh_CN", "en_USen_US", 2},
      {"", "", 0},
      {"caf\xE9zh_CN",
       "caf\xE9"
       "en_US",
       1, &cp1252()},
      {"\xB1zh_CN\x95\x5Czh_CN",
       "\xB1"
       "en_US\x95\x5C"
       "en_US",
       2, &cp932()},
      {"\xE0zh_CN", "\xE0zh_CN", 0, &cp932()},
  };
  for (const Case& c : cases) {
    int count = -1;
    EXPECT_EQ(replaceAll(c.text, "zh_CN", "en_US", *c.cp, &count), c.expected) << c.text;
    EXPECT_EQ(count, c.count) << c.text;
  }
}

TEST(ReplaceAll, ResumesAfterEachReplacement) {
  // A replacement that contains the searched text is not searched again.
  EXPECT_EQ(replaceAll("aa", "a", "aa", cp936()), "aaaa");
  // A trailing lead byte with nothing after it stays as it is.
  EXPECT_EQ(replaceAll("x\x81", "x", "y", cp936()), "y\x81");
}

TEST(BytesToText, StopsAtTheFirstZeroByte) {
  EXPECT_EQ(platform::bytesToText(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(platform::bytesToText("abc"), "abc");
  EXPECT_EQ(platform::bytesToText(""), "");
  EXPECT_EQ(platform::textToBytes("ab").size(), 2u);
}

TEST(FindLastOf, NeverStopsOnASecondByte) {
  struct Case {
    std::string text;
    std::size_t expected;
    const platform::LeadBytes* cp = &cp936();
  };
  // 誠 is D5 5C and 乗 is 81 5C in GBK: their second byte is a backslash byte.
  const Case cases[] = {
      {"C:\\tools\\Kelvora.exe", 8},
      {"C:\\tools\\誠.exe", 8},
      {"C:\\tools\\A乗B", 8},
      {"誠", std::string::npos},
      {"C:/x\\y", 4},
      {"", std::string::npos},
      {"\x81", std::string::npos},  // a lead byte with nothing after it
      // C:\Café\Kelvora.exe in 1252: the run folder is C:\Café, not C:.
      {"C:\\Caf\xE9\\Kelvora.exe", 7, &cp1252()},
      // 表 is 95 5C in Shift JIS; ｱ (B1) is one byte there.
      {"C:\\\x95\x5C", 2, &cp932()},
      {"C:\\\xB1\\x", 4, &cp932()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::findLastOf(c.text, "\\/", *c.cp), c.expected) << c.text;
    // The folder and the name split there, as the update names its files.
    const bool split = c.expected != std::string::npos;
    EXPECT_EQ(platform::folderOf(c.text, *c.cp), split ? c.text.substr(0, c.expected) : "");
    EXPECT_EQ(platform::fileNameOf(c.text, *c.cp), split ? c.text.substr(c.expected + 1) : c.text);
  }
}

TEST(RemoveSpaces, RemovesAsciiAndFullWidthSpaces) {
  EXPECT_EQ(platform::removeSpaces("My Key", cp936()), "MyKey");
  EXPECT_EQ(platform::removeSpaces("\xA1\xA1 \xA1\xA1", cp936()), "");
  EXPECT_EQ(platform::removeSpaces("中\xA1\xA1文", cp936()), "中文");
  // 0xA1 as the second byte of a character is not the start of a space.
  EXPECT_EQ(platform::removeSpaces("\x81\xA1\xA1", cp936()), "\x81\xA1\xA1");
  // Outside 936, A1 A1 is two characters of their own.
  EXPECT_EQ(platform::removeSpaces("\xA1\xA1 x", cp1252()), "\xA1\xA1x");
}

}  // namespace
