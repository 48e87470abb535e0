#include "update/self_replace.h"

#include <windows.h>

#include "platform/files.h"
#include "platform/handles.h"
#include "platform/hash.h"
#include "platform/in_place.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/system_library.h"
#include "platform/code_page.h"
#include "update/cleanup_script.h"

namespace update {
namespace {

bool readHead(HANDLE file, char (&head)[2]) {
  DWORD got = 0;
  return ::ReadFile(file, head, sizeof head, &got, nullptr) && got == sizeof head;
}

}  // namespace

bool startVerified(const std::string& path, const ExpectedFile& expected, unsigned idleWaitMs) {
  // Read sharing only: nobody can change, rename or delete the file while we
  // check it and while Windows loads it.
  platform::UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  char head[2] = {};
  LARGE_INTEGER size = {};
  if (!readHead(file.get(), head) || head[0] != 'M' || head[1] != 'Z' ||
      !::GetFileSizeEx(file.get(), &size) || size.QuadPart != expected.size ||
      expected.sha256.empty() || platform::sha256OfFile(file.get()) != expected.sha256) {
    return false;
  }
  // Quoted: the versioned name holds a space, and unquoted the old
  // "Kelvora.exe" beside it would be found first.
  platform::UniqueKernelHandle process =
      platform::startProcess("\"" + path + "\"", SW_SHOWNORMAL, path);
  if (!process) return false;
  ::WaitForInputIdle(process.get(), idleWaitMs);
  return true;
}

platform::UniqueFile launchCleanupScript(const std::string& runDirectory,
                                         const std::string& exeName) {
  const std::string script =
      platform::joinPath(runDirectory, kCleanupScriptName, platform::ansiLeadBytes());
  // By full path, not through the .vbs association: a per-user handler would
  // otherwise run with our rights.
  const std::string wscript =
      platform::systemFilePath(platform::SystemFolder::System, "wscript.exe");
  if (wscript.empty() || !platform::removeInPlace(script)) return {};
  platform::UniqueFile held = platform::sealWritten(
      platform::createInPlace(script, GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0), script,
      cleanupScript(runDirectory, exeName), FILE_ATTRIBUTE_HIDDEN);
  if (!held) return {};
  if (!platform::startProcess("\"" + wscript + "\" \"" + script + "\"", SW_SHOWNORMAL, wscript)) {
    return {};
  }
  return held;
}

}  // namespace update
