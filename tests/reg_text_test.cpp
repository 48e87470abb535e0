#include "registry/reg_text.h"

#include <gtest/gtest.h>

#include "support/code_pages.h"
#include "support/utf16.h"

namespace {

constexpr char kHeader[] = "Windows Registry Editor Version 5.00\r\n\r\n";
constexpr char kLm[] = "HKEY_LOCAL_MACHINE";
const platform::LeadBytes& gbk = testing_support::cp936();

std::string file(std::string_view key, std::string_view line) {
  return std::string(kHeader) + "[" + std::string(key) + "]\r\n" + std::string(line) + "\r\n";
}

// As ansiToUtf16 gives it: with the terminating zero character.
std::string utf16(std::string_view ascii) {
  return testing_support::utf16le(ascii) + std::string(2, '\0');
}

TEST(RegText, DwordLines) {
  struct Case {
    std::uint32_t value;
    const char* digits;
  };
  const Case cases[] = {
      {255, "000000FF"}, {0, "00000000"}, {0xFFFFFFFF, "FFFFFFFF"}, {0xABCDEF, "00ABCDEF"}};
  for (const Case& c : cases) {
    EXPECT_EQ(
        registry::regDwordText(kLm, "SOFTWARE\\Demo\\Count", c.value, gbk),
        file("HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo", std::string("\"Count\"=dword:") + c.digits));
  }
  EXPECT_EQ(registry::regDwordText(kLm, "SOFTWARE\\Demo\\", 1, gbk), std::nullopt);  // no name
}

TEST(RegText, StringLinesEscapeAndRejectLineBreaks) {
  struct Case {
    std::string path, text;
    std::optional<std::string> expected;
    const platform::LeadBytes* cp = &gbk;
  };
  const Case cases[] = {
      {"SOFTWARE\\Demo\\Name", "plain",
       file("HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo", "\"Name\"=\"plain\"")},
      {"SOFTWARE\\Demo\\", "dflt", file("HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo\\", "@=\"dflt\"")},
      {"SOFTWARE\\Demo\\Path", "\\\\server\\share\\",
       file("HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo", "\"Path\"=\"\\\\\\\\server\\\\share\\\\\"")},
      {"SOFTWARE\\Demo\\Q", "say \"hi\"",
       file("HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo", "\"Q\"=\"say \\\"hi\\\"\"")},
      {"SOFTWARE\\Demo\\a\"b", "x", file("HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo", "\"a\\\"b\"=\"x\"")},
      // GBK text; the 0x5C second byte of a double-byte character is not a backslash.
      {"SOFTWARE\\演示\\名称", "中文\x81\x5C",
       file("HKEY_LOCAL_MACHINE\\SOFTWARE\\演示", "\"名称\"=\"中文\x81\x5C\"")},
      // A name whose last byte is a backslash byte names a value, not the default.
      {"SOFTWARE\\Demo\\誠", "x", file("HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo", "\"誠\"=\"x\"")},
      {"SOFTWARE\\A乗B\\", "d", file("HKEY_LOCAL_MACHINE\\SOFTWARE\\A乗B\\", "@=\"d\"")},
      {"SOFTWARE\\Demo\\Name", "two\r\n[HKEY_LOCAL_MACHINE\\X]", std::nullopt},
      {"SOFTWARE\\Demo\\Name", "lf\n", std::nullopt},
      {"SOFTWARE\\De\nmo\\Name", "x", std::nullopt},
      // In 1252 é (E9) is one byte: the backslash and the quote after it are
      // a separator and a character to escape, not its second byte.
      {"SOFTWARE\\Caf\xE9\\Name", "x",
       file("HKEY_LOCAL_MACHINE\\SOFTWARE\\Caf\xE9", "\"Name\"=\"x\""), &testing_support::cp1252()},
      {"SOFTWARE\\Demo\\Q", "caf\xE9\"",
       file("HKEY_LOCAL_MACHINE\\SOFTWARE\\Demo", "\"Q\"=\"caf\xE9\\\"\""),
       &testing_support::cp1252()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(registry::regStringText(kLm, c.path, c.text, *c.cp), c.expected) << c.path;
  }
  EXPECT_EQ(registry::regStringText(nullptr, "A\\B", "x", gbk), std::nullopt);
}

TEST(RegText, HexLines) {
  EXPECT_EQ(registry::regBinaryText("HKEY_CURRENT_USER", "Software\\Demo\\Blob",
                                    std::string("\x00\x0A\xFF", 3), gbk),
            file("HKEY_CURRENT_USER\\Software\\Demo", "\"Blob\"=hex:00,0A,FF"));
  EXPECT_EQ(registry::regBinaryText(kLm, "Software\\Demo\\", "x", gbk), std::nullopt);
  EXPECT_EQ(registry::regExpandStringText(kLm, "S\\D\\E", utf16("%A%"), gbk),
            file("HKEY_LOCAL_MACHINE\\S\\D", "\"E\"=hex(2):25,00,41,00,25,00,00,00"));
  // Each line becomes one string and the list ends in an empty one.
  EXPECT_EQ(registry::regMultiStringText(kLm, "S\\D\\M", utf16("a\r\nb"), gbk),
            file("HKEY_LOCAL_MACHINE\\S\\D", "\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00"));
  EXPECT_EQ(registry::regMultiStringText(kLm, "S\\D\\M", utf16("a\r\n"), gbk),
            file("HKEY_LOCAL_MACHINE\\S\\D", "\"M\"=hex(7):61,00,00,00,00,00"));
  // What the reader gives back ("a", "b" and the list's end) is the same list.
  EXPECT_EQ(registry::regMultiStringText(kLm, "S\\D\\M", utf16("a\r\nb\r\n\r\n"), gbk),
            registry::regMultiStringText(kLm, "S\\D\\M", utf16("a\r\nb"), gbk));
  EXPECT_EQ(registry::regMultiStringText(kLm, "S\\D\\", utf16("a"), gbk), std::nullopt);
}

TEST(RegText, HeaderPlaceholdersReplacedOnce) {
  // A key path that itself looks like the root placeholder is left as it is.
  EXPECT_EQ(registry::regHeader("HKEY_USERS", "根类型\\x"),
            std::string(kHeader) + "[HKEY_USERS\\根类型\\x]");
}

}  // namespace
