#include "registry/value_path.h"

#include <gtest/gtest.h>

#include "support/code_pages.h"

namespace {

using registry::bytesToHex;
using testing_support::cp1252;
using testing_support::cp932;
using testing_support::cp936;

TEST(SplitValuePath, SplitsAtTheLastBackslash) {
  struct Case {
    std::string path, name, rest;
    bool isKeyPath;
    const platform::LeadBytes* cp = &cp936();
  };
  const Case cases[] = {
      {"A\\B\\C", "C", "A\\B", false},
      {"A\\B\\", "", "A\\B\\", true},
      {"NoBackslash", "", "NoBackslash", false},
      {"SOFTWARE\\Adobe\\After Effects\\16.0\\InstallPath", "InstallPath",
       "SOFTWARE\\Adobe\\After Effects\\16.0", false},
      {"\\Name", "Name", "", false},
      {"", "", "", false},
      // 誠 is D5 5C and 乗 81 5C in GBK: a backslash byte inside a character.
      {"SOFTWARE\\Demo\\誠", "誠", "SOFTWARE\\Demo", false},
      {"SOFTWARE\\Demo\\誠\\", "", "SOFTWARE\\Demo\\誠\\", true},
      {"SOFTWARE\\誠\\乗", "乗", "SOFTWARE\\誠", false},
      {"SOFTWARE\\A乗B", "A乗B", "SOFTWARE", false},
      {"誠", "", "誠", false},
      // é (E9) is one byte in 1252; 表 is 95 5C in 932, where ｱ (B1) is one byte.
      {"SOFTWARE\\Caf\xE9\\Name", "Name", "SOFTWARE\\Caf\xE9", false, &cp1252()},
      {"SOFTWARE\\Caf\xE9\\", "", "SOFTWARE\\Caf\xE9\\", true, &cp1252()},
      {"SOFTWARE\\\x95\x5C", "\x95\x5C", "SOFTWARE", false, &cp932()},
      {"SOFTWARE\\\xB1\\N", "N", "SOFTWARE\\\xB1", false, &cp932()},
  };
  for (const Case& c : cases) {
    std::string path = c.path;
    bool isKeyPath = !c.isKeyPath;
    EXPECT_EQ(registry::splitValuePath(path, isKeyPath, *c.cp), c.name) << c.path;
    EXPECT_EQ(path, c.rest) << c.path;
    EXPECT_EQ(isKeyPath, c.isKeyPath) << c.path;
  }
}

TEST(SplitParent, StepsOverDoubleByteCharacters) {
  using Parts = std::pair<std::string, std::string>;
  EXPECT_EQ(registry::splitParent("A\\B\\C", cp936()), Parts("A\\B", "C"));
  EXPECT_EQ(registry::splitParent("A", cp936()), Parts("", "A"));
  EXPECT_EQ(registry::splitParent("SOFTWARE\\Demo\\誠", cp936()), Parts("SOFTWARE\\Demo", "誠"));
  EXPECT_EQ(registry::splitParent("誠\\A乗B", cp936()), Parts("誠", "A乗B"));
  EXPECT_EQ(registry::splitParent("Caf\xE9\\x", cp1252()), Parts("Caf\xE9", "x"));
  EXPECT_TRUE(registry::endsWithBackslash("A\\誠\\", cp936()));
  EXPECT_FALSE(registry::endsWithBackslash("A\\誠", cp936()));
  EXPECT_TRUE(registry::endsWithBackslash("A\\\xB1\\", cp932()));
  EXPECT_FALSE(registry::endsWithBackslash("", cp936()));
}

TEST(BytesToHex, FormatsRangesOfBytes) {
  struct Case {
    std::string bytes;
    std::optional<int> start, count;
    bool comma;
    std::string expected;
  };
  const std::string three("\x0A\xFF\x00", 3);
  const Case cases[] = {
      {"\x0A\xFF", {}, {}, true, "0A,FF"},
      {"\x0A\xFF", {}, {}, false, "0A FF"},
      {"\x05", {}, {}, true, "05"},
      {"", {}, {}, true, ""},
      {three, 2, {}, true, "FF,00"},
      {three, 0, {}, true, "0A,FF,00"},  // below 1 counts as 1
      {three, 1, 2, true, "0A,FF"},
      {three, 2, 5, true, "FF,00"},  // a count past the end runs to the end
      {three, 4, {}, true, ""},
      {three, 1, 0, true, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(bytesToHex(c.bytes, c.start, c.count, c.comma), c.expected) << c.expected;
  }
}

TEST(RootName, KnowsTheFiveRoots) {
  EXPECT_STREQ(registry::rootNameOf(1), "HKEY_CLASSES_ROOT");
  EXPECT_STREQ(registry::rootNameOf(2), "HKEY_CURRENT_CONFIG");
  EXPECT_STREQ(registry::rootNameOf(3), "HKEY_CURRENT_USER");
  EXPECT_STREQ(registry::rootNameOf(4), "HKEY_LOCAL_MACHINE");
  EXPECT_STREQ(registry::rootNameOf(5), "HKEY_USERS");
  EXPECT_EQ(registry::rootNameOf(0), nullptr);
  EXPECT_EQ(registry::rootNameOf(6), nullptr);
}

TEST(ValueConversions, NeverReadPastTheData) {
  EXPECT_EQ(registry::bytesToInt(std::string("\x78\x56\x34\x12", 4)), 0x12345678u);
  EXPECT_EQ(registry::bytesToInt(std::string("\xFF\xFF\xFF\xFF\x01", 5)), 0xFFFFFFFFu);
  EXPECT_EQ(registry::bytesToInt(std::string("\x01\x02", 2)), 0x0201u);  // short: zeros
  EXPECT_EQ(registry::bytesToInt(""), 0u);

  EXPECT_EQ(registry::multiStringToLines(std::string("a\0b\0\0", 5)), "a\r\nb\r\n\r\n");
  EXPECT_EQ(registry::multiStringToLines(""), "");

  struct Case {
    std::string lines, data;
  };
  const Case cases[] = {
      {"a\r\nb\r\n\r\n", std::string("a\0b\0\0", 5)},  // what the reader gives back
      {"a\r\nb", std::string("a\0b\0\0", 5)},          // terminators added
      {"a\nb", std::string("a\nb\0\0", 5)},            // only CR LF separates
      {"誠\r\n乗\r\n\r\n", std::string("誠\0乗\0\0", 7)},
      {"", std::string("\0\0", 2)},
  };
  for (const Case& c : cases) EXPECT_EQ(registry::linesToMultiString(c.lines), c.data);
}

}  // namespace
