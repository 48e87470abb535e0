// Starting the downloaded version and leaving the clean-up script behind.
// UI thread.
#pragma once

#include <string>

#include "platform/handles.h"

namespace update {

// What the new executable must be when it is started.
struct ExpectedFile {
  long long size = 0;
  std::string sha256;  // 64 lowercase hex digits
};

// Opens `path` denying writes and deletes, checks through that handle that it
// starts with "MZ" and has the expected size and hash, and starts it (its
// quoted path as the command line, normal window) while still holding it,
// so that what was checked is what runs. Waits at most `idleWaitMs` for it
// to become idle, then lets go of the file. False when the file is not the
// expected one or Windows refuses to start it.
bool startVerified(const std::string& path, const ExpectedFile& expected, unsigned idleWaitMs);

// Writes "tem.vbs" (hidden) into the run directory and starts it with the
// system's wscript.exe by full path; it removes `exeName` and itself once
// this program has ended. `runDirectory` and `exeName` name this program;
// a path that the script could not name exactly (see cleanupScript) gets
// no script. The script is made anew (a leftover that really
// is in the folder is removed first; a link there is left alone and nothing
// is written), and the returned handle keeps it readable but unchangeable:
// hold it until the program ends. Empty when the script could not be made
// or run.
// Asks Windows to delete `path` (this exe) at the next restart; needs
// administrator rights. False when Windows refuses.
bool removeAtRestart(const std::string& path);

platform::UniqueFile launchCleanupScript(const std::string& runDirectory,
                                         const std::string& exeName);

}  // namespace update
