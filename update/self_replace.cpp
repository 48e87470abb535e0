#include "update/self_replace.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "platform/authenticode.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/hash.h"
#include "platform/in_place.h"
#include "platform/path.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/system_library.h"
#include "platform/code_page.h"
#include "update/cleanup_script.h"

namespace update {
namespace {

bool readHead(HANDLE file, char (&head)[2]) {
  DWORD got = 0;
  return ::ReadFile(file, head, sizeof head, &got, nullptr) && got == sizeof head;
}

// A signed running program takes only a new version from its own signer.
bool signedAsRequired(HANDLE file, const std::string& path, const Publisher& publisher) {
  if (!publisher.required) return true;
  const std::optional<std::u16string> signer =
      platform::verifiedSigner(file, platform::ansiToWide(path));
  return signer && !publisher.subject.empty() && *signer == publisher.subject;
}

}  // namespace

Publisher requiredPublisher(const std::u16string& runningExe) {
  // A running image cannot be written, so sharing delete changes nothing we
  // read; a file we cannot open at all asks for a signer nobody has.
  platform::UniqueFile file(::CreateFileW(reinterpret_cast<LPCWSTR>(runningExe.c_str()),
                                          GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {true, {}};
  const std::optional<std::u16string> signer = platform::verifiedSigner(file.get(), runningExe);
  if (signer) return {true, *signer};
  // Signed, but not verifying here (an expired certificate, or one the
  // user's own certificate stores or trust settings refuse, which any of the
  // user's programs can arrange): the name it carries still binds the new
  // version, which must verify. Only a file without any signature takes an
  // unsigned one.
  std::optional<std::u16string> named = platform::namedSigner(file.get());
  if (!named) return {};
  return {true, std::move(*named)};
}

const Publisher& ownPublisher() {
  static const Publisher publisher = [] {
    const std::u16string own = platform::exePathWide();
    return own.empty() ? Publisher{true, {}} : requiredPublisher(own);
  }();
  return publisher;
}

bool startVerified(const std::string& path, const ExpectedFile& expected, unsigned idleWaitMs) {
  return startVerified(path, expected, idleWaitMs, ownPublisher());
}

platform::UniqueFile openVerified(const std::string& path, const ExpectedFile& expected,
                                  const Publisher& publisher) {
  // Read sharing only: nobody can change, rename or delete the file while we
  // check it and while the handle is held.
  platform::UniqueFile file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  char head[2] = {};
  LARGE_INTEGER size = {};
  if (!readHead(file.get(), head) || head[0] != 'M' || head[1] != 'Z' ||
      !::GetFileSizeEx(file.get(), &size) || size.QuadPart != expected.size ||
      expected.sha256.empty() || platform::sha256OfFile(file.get()) != expected.sha256 ||
      !signedAsRequired(file.get(), path, publisher)) {
    return {};
  }
  return file;
}

bool startVerified(const std::string& path, const ExpectedFile& expected, unsigned idleWaitMs,
                   const Publisher& publisher) {
  // Held while Windows loads it: what was checked is what runs.
  const platform::UniqueFile file = openVerified(path, expected, publisher);
  if (!file) return false;
  // Quoted: the versioned name holds a space, and unquoted the old
  // "Kelvora.exe" beside it would be found first.
  platform::UniqueKernelHandle process =
      platform::startProcess("\"" + path + "\"", SW_SHOWNORMAL, path);
  if (!process) return false;
  ::WaitForInputIdle(process.get(), idleWaitMs);
  return true;
}

bool retireAtRestart() {
  const std::u16string self = platform::exePathWide();
  const std::size_t slash = self.find_last_of(u"\\/");
  if (slash == std::u16string::npos) return false;
  const std::wstring selfPath(self.begin(), self.end());
  // A running image may be renamed, never deleted or written.
  platform::UniqueFile file(::CreateFileW(selfPath.c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file || !platform::isReachedDirectly(file.get(), self)) return false;
  char name[64];
  std::snprintf(name, sizeof name, "%s%lx-%llx%s", kRetiredPrefix, ::GetCurrentProcessId(),
                static_cast<unsigned long long>(::GetTickCount64()), kRetiredSuffix);
  const std::u16string retired =
      self.substr(0, slash + 1) + std::u16string(name, name + std::strlen(name));
  // Never over a file or link that is already there.
  if (!platform::renameOpenFile(file.get(), retired, false)) return false;
  const std::wstring retiredPath(retired.begin(), retired.end());
  if (::MoveFileExW(retiredPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return true;
  // Not scheduled (no administrator rights): back to its own name, or
  // nothing would ever remove it.
  platform::renameOpenFile(file.get(), self, false);
  return false;
}

platform::UniqueFile launchCleanupScript(const std::string& runDirectory,
                                         const std::string& exeName) {
  const std::u16string wide = platform::exePathWide();
  const std::optional<std::string> text = cleanupScriptFor(
      runDirectory, exeName, wide, platform::ansiRoundTrip(wide), platform::ansiLeadBytes());
  // No script for a name it could not delete exactly: the old exe stays.
  if (!text) return {};
  const std::string script =
      platform::joinPath(runDirectory, kCleanupScriptName, platform::ansiLeadBytes());
  // By full path, not through the .vbs association: a per-user handler would
  // otherwise run with our rights.
  const std::string wscript =
      platform::systemFilePath(platform::SystemFolder::System, "wscript.exe");
  if (wscript.empty() || !platform::removeInPlace(script)) return {};
  platform::UniqueFile held = platform::sealWritten(
      platform::createInPlace(script, GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0), script, *text,
      FILE_ATTRIBUTE_HIDDEN);
  if (!held) return {};
  // In the system folder: nothing it loads by name is looked for in ours.
  if (!platform::startProcess("\"" + wscript + "\" \"" + script + "\"", SW_SHOWNORMAL, wscript,
                              platform::systemFilePath(platform::SystemFolder::System, ""))) {
    return {};
  }
  return held;
}

}  // namespace update
