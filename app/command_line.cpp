#include "app/command_line.h"

namespace app {
namespace {

constexpr std::string_view kSetEnglish = "--set-language en_US";
constexpr std::string_view kSetChinese = "--set-language zh_CN";
constexpr std::string_view kUpdate = "--update";

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// The program's name ends at its closing quote, or at the first blank when
// it is not quoted; the way Windows itself splits it off.
std::size_t endOfProgramName(std::string_view line) {
  if (!line.empty() && line.front() == '"') {
    const std::size_t close = line.find('"', 1);
    return close == std::string_view::npos ? line.size() : close + 1;
  }
  std::size_t i = 0;
  while (i < line.size() && !isBlank(line[i])) ++i;
  return i;
}

}  // namespace

Verb parseCommandLine(std::string_view commandLine) {
  std::size_t at = endOfProgramName(commandLine);
  const std::size_t nameEnd = at;
  while (at < commandLine.size() && isBlank(commandLine[at])) ++at;
  const std::string_view arguments = commandLine.substr(at);
  if (arguments.empty()) return Verb::Window;
  // Arguments glued to a quoted name ("x.exe"--update) are not arguments.
  if (at == nameEnd) return Verb::Refused;
  if (arguments == kSetEnglish) return Verb::SetEnglish;
  if (arguments == kSetChinese) return Verb::SetChinese;
  if (arguments == kUpdate) return Verb::Update;
  return Verb::Refused;
}

std::string_view argumentsFor(Verb verb) {
  switch (verb) {
    case Verb::SetEnglish:
      return kSetEnglish;
    case Verb::SetChinese:
      return kSetChinese;
    case Verb::Update:
      return kUpdate;
    default:
      return {};
  }
}

}  // namespace app
