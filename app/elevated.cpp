// What runs as administrator, and nothing else. It trusts only these inputs:
//   1. its own command line, one of exactly three fixed forms (command_line.h);
//      anything else ends it with kRefused before it touches anything;
//   2. the subkeys of HKLM\SOFTWARE\Adobe\After Effects whose names are
//      versions ("16.0", "24.0") and the value InstallPath of each, in the
//      64-bit view only, which only administrators write; an empty or
//      relative value is refused, and nothing is guessed where none is;
//   3. application.xml in each installation's AMT folder (for any but 16.0,
//      also its "Support Files\AMT" folder), reached with no link, junction
//      or mount point on the way, its folder held from the read to the
//      replace, and never read at all when over 16 MiB;
//   4. the update server's URL and the update key built into this exe, and its
//      own version; a version file counts only when signed with that key and
//      newer than this exe;
//   5. its own folder (from the system, never from the caller), where the
//      download and the new version go.
// It takes no path, URL or version from its caller, reads neither Documents
// nor the temporary folder, shows no main window, opens no URL, and starts
// nothing but the verified new version. The old exe is left for Windows to
// remove at the next restart: no script host runs as administrator, since
// one would take its COM classes from the user's own HKCU\Software\Classes.
#include "app/elevated.h"

#include <windows.h>

#include "app/registered_versions.h"
#include "app/update_urls.h"
#include "build_config.h"
#include "lang/set_language.h"
#include "lang/switcher.h"
#include "lang/tokens.h"
#include "lang/windows_switch_system.h"
#include "platform/download.h"
#include "platform/message_loop.h"
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

int update() {
  platform::openUiPost();
  int code = update::kUpdateFailed;
  {
    platform::Downloader engine;
    update::Updater updater(
        engine, updatePublicKey(),
        [&code](update::UpdateEnd end) {
          code = end;
          platform::quitMessageLoop(end);
        },
        update::OldExeRemoval::AtRestart);
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
