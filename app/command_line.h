// What the command line asks of this run. The window takes none; the one
// elevated step takes exactly one of three fixed forms and nothing else, so
// that whoever starts it can hand it no path, URL or version. No Windows API
// here.
#pragma once

#include <string_view>

namespace app {

enum class Verb {
  Window,      // no arguments: the main window, as the user
  SetEnglish,  // "--set-language en_US"
  SetChinese,  // "--set-language zh_CN"
  Update,      // "--update"
  Refused,     // anything else: end at once, touching nothing
};

// The whole command line as Windows hands it over (GetCommandLine): the
// program's name, quoted or not, the blanks after it, then the arguments,
// which must be one of the three forms exactly, with single spaces and no
// quotes. A program name alone is the window.
Verb parseCommandLine(std::string_view commandLine);

// The arguments that ask for `verb` (empty for the window).
std::string_view argumentsFor(Verb verb);

}  // namespace app
