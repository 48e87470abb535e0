// What runs as administrator, and nothing else. It trusts only these inputs:
//   1. its own command line, one of exactly three fixed forms (command_line.h);
//      anything else ends it with kRefused before it touches anything;
//   2. the subkeys of HKLM\SOFTWARE\Adobe\After Effects whose names are
//      versions ("16.0", "24.0") and the value InstallPath of each, in the
//      64-bit view only, which only administrators write; an empty or
//      relative value is refused, and nothing is guessed where none is;
//   3. application.xml in each installation's AMT folder (for any but 16.0,
//      also its "Support Files\AMT" folder; for 16.0 only where its
//      InstallPath ends in a backslash, or the file would lie in a folder
//      beside the installation), reached with no link, junction or mount
//      point on the way and with no second name (hard link), its folder held
//      from the read to the replace, and never read at all when over 16 MiB;
//   4. the update server's URL and the update key built into this exe, and its
//      own version; a version file counts only when signed with that key and
//      newer than this exe. A build without a key refuses --update at once,
//      before any network access;
//   5. its own path as the system gives it, in UTF-16 (never through a
//      best-fit ANSI form), and the folder it names: the update works only
//      where both are reached with no link, junction or mount point on the
//      way, and holds them from that check to its end. The download and the
//      new version go there;
//   6. the user's proxy settings, which WinINet reads for the fetch and the
//      download: they can send both elsewhere, which the signed version file
//      and the download's size and hash make harmless (at most an older signed
//      release that is still newer than this exe could be served again);
//   7. the certificate stores that Authenticode reads (the user's own among
//      them) to verify the new version's signature, whose signer must be the
//      one this exe's own signature names wherever this exe carries one: a
//      check on top of the signed version file.
// It takes no path, URL or version from its caller, reads neither Documents
// nor the temporary folder, shows no main window and opens no URL.
// It starts no process: the window that waited starts the new version, as
// its user. The old exe is left for Windows to remove at the next restart:
// no script host runs as administrator, since one would take its COM classes
// from the user's own HKCU\Software\Classes.
#include "app/elevated.h"

#include <windows.h>

#include <optional>
#include <string>

#include "app/registered_versions.h"
#include "app/update_urls.h"
#include "build_config.h"
#include "lang/set_language.h"
#include "lang/switcher.h"
#include "lang/tokens.h"
#include "lang/windows_switch_system.h"
#include "platform/code_page.h"
#include "platform/download.h"
#include "platform/form.h"
#include "platform/handles.h"
#include "platform/in_place.h"
#include "platform/message_loop.h"
#include "platform/shell.h"
#include "platform/ui_post.h"
#include "platform/url.h"
#include "registry/registry_tool.h"
#include "update/updater.h"
#include "update/version.h"

namespace app {
namespace {

int setLanguage(std::string_view token) {
  registry::RegistryTool registry;
  registry.probe64BitWindows();
  lang::WindowsSwitchSystem system(
      [&registry] {
        return registry.read64String(registry::kLocalMachine, lang::kInstallPathValue);
      },
      [&registry] { return registeredVersions(registry); }, {}, platform::Links::Refuse);
  return lang::setMachineLanguage(system, token);
}

// This exe and its folder, held from the check to the end of the update.
struct RunFolder {
  std::string self;             // the exe's ANSI path, naming exactly its wide one
  platform::UniqueFile exe;     // reached directly
  platform::UniqueFile folder;  // reached directly; without delete sharing, so
                                // that neither it nor a folder above it moves
};

// The run folder as the system names it, or the reason it cannot be used.
std::optional<RunFolder> holdRunFolder(const char*& refusal) {
  refusal = kRunFolderLinkedText;
  const std::u16string self = platform::exePathWide();
  const std::size_t slash = self.find_last_of(u"\\/");
  if (slash == std::u16string::npos) return std::nullopt;
  const std::u16string folderPath = self.substr(0, slash + 1);
  RunFolder run;
  run.exe.reset(::CreateFileW(reinterpret_cast<LPCWSTR>(self.c_str()), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  run.folder.reset(::CreateFileW(reinterpret_cast<LPCWSTR>(folderPath.c_str()),
                                 FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!run.exe || !run.folder || !platform::isReachedDirectly(run.exe.get(), self) ||
      !platform::isReachedDirectly(run.folder.get(), folderPath)) {
    return std::nullopt;
  }
  // The download engine names files in the ANSI code page: only a name that
  // comes back exactly is used, never a best-fit look-alike of another.
  std::optional<std::string> ansi = platform::exactAnsi(self);
  if (!ansi) {
    refusal = kRunFolderNameText;
    return std::nullopt;
  }
  run.self = std::move(*ansi);
  return run;
}

int update() {
  // Without a key the version file is the server's word alone, and nothing
  // it names may be installed as administrator.
  const std::string key = updatePublicKey();
  if (key.empty()) return lang::kRefused;
  const char* refusal = nullptr;
  const std::optional<RunFolder> run = holdRunFolder(refusal);
  if (!run) {
    platform::messageBox(refusal, "更新提示", MB_OK | MB_ICONERROR);
    return update::kUpdateFailed;
  }
  // Without it no fetch or download answer would ever arrive, and the
  // window waiting for this instance would wait for ever.
  if (!platform::openUiPost()) return update::kUpdateFailed;
  int code = update::kUpdateFailed;
  {
    platform::Downloader engine;
    update::Updater updater(
        engine, key,
        [&code](update::UpdateEnd end) {
          code = end;
          platform::quitMessageLoop(end);
        },
        update::UpdateRoute::Elevated, run->self);
    updater.startNewest(platform::joinUrl(updateBaseUrl(), update::kVersionFile),
                        platform::joinUrl(updateBaseUrl(), update::kExecutableFile),
                        build_config::kVersion);
    platform::runMessageLoop();
    engine.shutdown();
  }
  platform::closeUiPost();
  return code;
}

}  // namespace

int runElevatedStep(Verb verb) {
  switch (verb) {
    case Verb::SetEnglish:
      return setLanguage(lang::kEnglishToken);
    case Verb::SetChinese:
      return setLanguage(lang::kChineseToken);
    case Verb::Update:
      return update();
    default:
      return lang::kRefused;
  }
}

}  // namespace app
