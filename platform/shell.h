// Shell folders and opening things the way Explorer would.
#pragma once

#include <string>

namespace platform {

// The user's Documents folder with a trailing backslash; empty when the
// shell cannot say.
std::string documentsFolder();

// The user's temporary folder, ending in a backslash; empty when Windows
// cannot say.
std::string tempFolder();

// The running executable's full path; empty when Windows cannot say.
std::string exePath();

// The folder of the running executable, without a trailing separator.
std::string runDirectory();

// ShellExecute "open" with a normal window; true when the shell took it.
// From an elevated program what it starts runs elevated too.
bool shellOpen(const std::string& target);

// Opens `target` (a web page) as the desktop's user, unelevated: the desktop
// shell's own ShellExecute (IShellDispatch2 of the desktop window) starts
// the browser, as installers do. Where no desktop shell offers that (none is
// running, or Wine), shellOpen() above. UI thread.
bool openAsDesktopUser(const std::string& target);

}  // namespace platform
