// The machine's side of the switch, for the one elevated step: every
// installation's application.xml set to one language, by the same rules and
// the same in-place file code as the window's switch. The marker is each
// user's own and is never touched here. No Windows API here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "lang/switch_system.h"

namespace lang {

// The step's exit codes; the window and deployment scripts read them.
enum SetLanguageCode : int {
  kSwitched = 0,      // at least one file switched, and none failed
  kAlreadyThere = 1,  // no token of the other language in any file: nothing to switch
  kNoFile = 2,        // no installation's application.xml found
  kRefused = 3,       // a command line other than the three forms
  kFailed = 4,        // a file unreadable, empty, too large or not replaced: that
                      // one is as it was, every other one switched
};

// Every installation's application.xml the registry names: CC 2019's by its
// own rule (its InstallPath + "AMT\application.xml" as it stands), then the
// others (lang/installations.h), newest first. Only absolute paths of files
// that are there.
std::vector<std::string> machineXmlPaths(SwitchSystem& system);

// Sets every file of machineXmlPaths to `token`, kEnglishToken or
// kChineseToken. Takes no path from anyone.
SetLanguageCode setMachineLanguage(SwitchSystem& system, std::string_view token);

}  // namespace lang
