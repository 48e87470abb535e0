#include "update/version.h"

#include <gtest/gtest.h>

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

TEST(VersionLess, ComparesTextByteByByte) {
  struct Case {
    std::string a, b;
    bool less;
  };
  const Case cases[] = {
      {"1.2", "1.3", true},  {"1.3", "1.2", false},  {"1.2", "1.10", false},  {"1.10", "1.2", true},
      {"1.2", "1.2", false}, {"1.2", "1.2.1", true}, {"1.2.1", "1.2", false}, {"", "1.2", true},
      {"1.2", "", false},    {"", "", false},        {"1.2", "1.\x80", true},  // unsigned bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(update::versionLess(c.a, c.b), c.less) << c.a << " < " << c.b;
  }
}

TEST(UpdateNames, FileNameAndUrls) {
  EXPECT_EQ(update::updateFileName("1.3"), "Kelvora v1.3.exe");
  EXPECT_EQ(update::joinUrl("http://h/k/", "version.txt"), "http://h/k/version.txt");
  EXPECT_EQ(update::joinUrl("http://h/k", "Kelvora.exe"), "http://h/k/Kelvora.exe");
}

}  // namespace
