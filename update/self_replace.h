// Checking and starting the downloaded version, and leaving the old one to
// be removed.
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

// Who must have signed a new version.
struct Publisher {
  // False: the running program carries no signature, and so may the new one.
  bool required = false;
  // When required: the signer's subject it must carry. Empty when the running
  // program's own could not be read: then no file carries it.
  std::u16string subject;
};

// What a new version must carry when `runningExe` is the running program:
// the signer its Authenticode signature names, whether or not that verifies
// here; nothing when it carries no signature.
Publisher requiredPublisher(const std::u16string& runningExe);

// Opens `path` denying writes and deletes and checks through that handle
// that it starts with "MZ", has the expected size and hash and is signed as
// `publisher` requires. While the handle is held the file stays as checked.
// Empty when the file is not the expected one (or is missing).
platform::UniqueFile openVerified(const std::string& path, const ExpectedFile& expected,
                                  const Publisher& publisher);

// openVerified, then starts the file (its quoted path as the command line,
// normal window) while still holding it, so that what was checked is what
// runs. Waits at most `idleWaitMs` for it to become idle, then lets go of the
// file. False when the file is not the expected one or Windows refuses to
// start it.
bool startVerified(const std::string& path, const ExpectedFile& expected, unsigned idleWaitMs,
                   const Publisher& publisher);
// What this program's own file requires, read on first use and kept: a
// running exe cannot be written. Any thread.
const Publisher& ownPublisher();

// The same, with the publisher that this program's own file requires.
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
platform::UniqueFile launchCleanupScript(const std::string& runDirectory,
                                         const std::string& exeName);

// This exe's name for the file that Windows deletes at the next restart:
// "kelvora-old-<process id>-<ticks>.tmp" beside it.
inline constexpr char kRetiredPrefix[] = "kelvora-old-";
inline constexpr char kRetiredSuffix[] = ".tmp";

// Renames this running exe, through its handle, to a name of its own making
// in its folder, and asks Windows to delete that name at the next restart
// (which needs administrator rights). The restart's delete, made by the
// system, then never names a file someone else chose, nor a Kelvora put back
// at the old name. Nothing happens when a link is on the way to the exe, or
// on any failure (a refused schedule renames it back): the old exe then
// stays at its name. False in that case.
bool retireAtRestart();

}  // namespace update
