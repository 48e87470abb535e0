// The machine's side of the switch, for the one elevated step: every token
// in the installation's application.xml set to one language, by the same
// rules and the same in-place file code as the window's switch. The marker
// is each user's own and is never touched here. No Windows API here.
#pragma once

#include <string_view>

#include "lang/switch_system.h"

namespace lang {

// The step's exit codes; the window and deployment scripts read them.
enum SetLanguageCode : int {
  kSwitched = 0,
  kAlreadyThere = 1,  // no token of the other language: nothing to switch
  kNoFile = 2,        // no install path, a relative one, or no application.xml there
  kRefused = 3,       // a command line other than the three forms
  kFailed = 4,        // unreadable, empty, or not replaced: the file is as it was
};

// Sets application.xml (found through `system.installPath()` alone) to
// `token`, kEnglishToken or kChineseToken. Takes no path from anyone.
SetLanguageCode setMachineLanguage(SwitchSystem& system, std::string_view token);

}  // namespace lang
