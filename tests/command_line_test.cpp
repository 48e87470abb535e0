#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using app::Verb;

TEST(CommandLine, OnlyTheThreeFormsAreTakenExactly) {
  struct Case {
    std::string line;
    Verb verb;
  };
  const std::string exe = "\"C:\\Program Files\\Kelvora\\Kelvora.exe\"";
  const Case cases[] = {
      {exe, Verb::Window},
      {exe + " ", Verb::Window},
      {"Kelvora.exe", Verb::Window},
      {"", Verb::Window},
      {exe + " --set-language en_US", Verb::SetEnglish},
      {exe + " --set-language zh_CN", Verb::SetChinese},
      {exe + " --update", Verb::Update},
      {"Kelvora.exe --update", Verb::Update},
      {exe + "\t--update", Verb::Update},  // the blanks after the name are the separator
      {exe + "  --set-language en_US", Verb::SetEnglish},
      // Anything else is refused.
      {exe + " --set-language  en_US", Verb::Refused},  // extra space
      {exe + " --set-language en_US ", Verb::Refused},
      {exe + " --set-language\ten_US", Verb::Refused},
      {exe + " --set-language \"en_US\"", Verb::Refused},  // quotes
      {exe + " \"--update\"", Verb::Refused},
      {exe + " --set-language en_us", Verb::Refused},
      {exe + " --set-language fr_FR", Verb::Refused},  // another word
      {exe + " --set-language", Verb::Refused},
      {exe + " --update --update", Verb::Refused},  // a second argument
      {exe + " --update C:\\evil.exe", Verb::Refused},
      {exe + " --set-language en_US C:\\Users\\x\\application.xml", Verb::Refused},
      {exe + " C:\\Users\\x\\application.xml", Verb::Refused},  // a path
      {exe + " /update", Verb::Refused},
      {exe + " --UPDATE", Verb::Refused},
      {exe + "--update", Verb::Refused},  // glued to the quoted name
      {exe + " --update\n", Verb::Refused},
      {exe + std::string(" --update\0x", 11), Verb::Refused},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(app::parseCommandLine(c.line), c.verb) << c.line;
  }
  // What the window hands the elevated instance is what it takes.
  for (const Verb v : {Verb::SetEnglish, Verb::SetChinese, Verb::Update}) {
    EXPECT_EQ(app::parseCommandLine(exe + " " + std::string(app::argumentsFor(v))), v);
  }
}

}  // namespace
