// Starting this same exe once more as administrator for one fixed step, and
// waiting for it while the window goes on painting. UI thread.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

struct ElevatedResult {
  enum Kind {
    Ended,     // the instance ran; `exitCode` is its code
    Declined,  // the user said no to the consent prompt
    NotStarted,
  };
  Kind kind = NotStarted;
  unsigned long exitCode = 0;
};

// ShellExecuteEx of our own exe with the verb "runas" and exactly
// `arguments` (never a path, URL or version: the instance trusts none),
// then waits for it to end while dispatching this thread's messages, so the
// window keeps painting. `owner` (may be null) owns the consent prompt. No
// UI of the shell's own on failure: a failed start returns NotStarted
// instead of a modal box.
ElevatedResult runElevatedAndWait(const std::string& arguments, HWND owner);

// Whether this process may make files in `folder`: a probe is made there
// with CREATE_NEW and goes again as it is closed. False only when Windows
// refuses with access denied; a taken name is stepped over, and any other
// failure counts as the user's folder (the work then fails as the user).
bool canCreateFilesIn(const std::string& folder);

}  // namespace platform
