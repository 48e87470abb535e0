// What the language switch needs from the system, and nothing more: the
// install paths, the Documents folder, its file operations, the elevated
// step, its pause and whether After Effects runs.
// The program's implementation is Windows (lang/windows_switch_system.h);
// the tests' is a map of files in memory. No Windows API here.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lang/installations.h"
#include "platform/text.h"

namespace lang {

// How a replace ended: Denied is Windows refusing this process the write
// (its rights, not another program holding the file).
enum class ReplaceResult { Replaced, Denied, Failed };

// How the elevated step ended: declined at the consent prompt, not started
// at all, or run with its exit code (lang/set_language.h).
struct ElevatedRun {
  enum Kind { Ran, Declined, NotStarted };
  Kind kind = NotStarted;
  int exitCode = 0;
};

class SwitchSystem {
 public:
  virtual ~SwitchSystem() = default;

  // After Effects CC 2019's install folder, with its trailing backslash, as
  // the 64-bit registry view holds it; empty when it is not there.
  virtual std::string installPath() = 0;
  // Every subkey of kVersionsKey in the 64-bit registry view, each with its
  // InstallPath; none on 32-bit Windows.
  virtual std::vector<RegisteredVersion> registeredVersions() = 0;
  // The user's Documents folder, with its trailing backslash.
  virtual std::string documentsFolder() = 0;
  virtual bool fileExists(const std::string& path) = 0;
  // The whole file; nullopt when it cannot be read (held without sharing)
  // or is larger than any application.xml (isOversized).
  virtual std::optional<std::string> readFile(const std::string& path) = 0;
  // Whether the existing file is too large to be an application.xml: it is
  // then neither read nor written. Asks its size only.
  virtual bool isOversized(const std::string& path) = 0;
  // Makes an empty file where the name is free; never follows a link there.
  virtual void createEmptyFile(const std::string& path) = 0;
  // Removes the file only where it really is at that name; a link is left.
  virtual void removeFile(const std::string& path) = 0;
  // Replaces the file's contents whole or not at all.
  virtual ReplaceResult replaceFile(const std::string& path, std::string_view bytes) = 0;
  // Whether this process may open the file for writing (full sharing,
  // closed at once, nothing changed).
  virtual bool canOpenForWriting(const std::string& path) = 0;
  // Runs this program's elevated step that sets every installation's
  // application.xml to `token` and waits for it; the caller's window keeps
  // painting meanwhile.
  virtual ElevatedRun setLanguageElevated(std::string_view token) = 0;
  // The pause after a rewrite; it blocks the UI thread.
  virtual void pause(unsigned milliseconds) = 0;
  // Whether After Effects runs now: it reads its language only at start.
  virtual bool afterEffectsRunning() = 0;
  // The lead bytes of the ANSI code page that file names and ANSI files use.
  virtual const platform::LeadBytes& leadBytes() = 0;
};

}  // namespace lang
