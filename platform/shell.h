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
// The same as Windows holds it, in UTF-16: it names the file exactly where
// the ANSI form cannot.
std::u16string exePathWide();

// The folder of the running executable, without a trailing separator.
std::string runDirectory();

// ShellExecute "open" with a normal window; true when the shell took it.
// What it starts runs as this process does: the window runs as the user, so
// the feedback page opens in the user's own browser.
bool shellOpen(const std::string& target);

}  // namespace platform
