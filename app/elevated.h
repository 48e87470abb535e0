// The one step of Kelvora that runs as administrator, in an instance of its
// own that the window starts with "runas" (or a deployment script starts
// elevated). See elevated.cpp for everything it trusts.
#pragma once

#include "app/command_line.h"

namespace app {

// Runs `verb` (SetEnglish, SetChinese or Update; anything else is refused
// at once) and returns the process exit code. UI thread of its own process.
int runElevatedStep(Verb verb);

}  // namespace app
