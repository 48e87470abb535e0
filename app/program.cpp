#include "app/program.h"

#include <cstdlib>

#include "app/command_line.h"
#include "app/main_form.h"
#include "app/main_window_language_view.h"
#include "app/registered_versions.h"
#include "app/update_urls.h"
#include "build_config.h"
#include "lang/tokens.h"
#include "lang/windows_switch_system.h"
#include "platform/code_page.h"
#include "platform/elevation.h"
#include "platform/message_loop.h"
#include "platform/path.h"
#include "platform/placement.h"
#include "platform/shell.h"
#include "platform/ui_post.h"
#include "platform/url.h"
#include "update/self_replace.h"
#include "update/update_check.h"
#include "update/version.h"

namespace app {
namespace {

Program* g_program = nullptr;

// Said when the elevated step could not be started at all.
constexpr char kUpdateNotStartedText[] = "未能启动更新，已保留当前版本。";

void endOfProgram() {
  if (g_program) g_program->shutdown();
}

}  // namespace

int Program::run() {
  // Before any worker starts: the one way from workers to this thread.
  platform::openUiPost();
  downloader_ = std::make_unique<platform::Downloader>();
  updater_ = std::make_unique<update::Updater>(*downloader_, updatePublicKey());
  registry_ = std::make_unique<registry::RegistryTool>();
  registry_->probe64BitWindows();
  registry_->initialise();

  g_program = this;
  std::atexit(endOfProgram);

  mainWindow_ = std::make_unique<platform::Form>(mainFormSpec());
  // Asked again when the window is sized anew for its monitor's scale.
  const auto place = [](int width, int height) {
    const platform::Point at = platform::windowPlacement(
        ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), width, height);
    // On a low screen the formula puts the title bar above it: kept within
    // the work area of the monitor it lands on, clear of the taskbar.
    const RECT wanted = {at.x, at.y, at.x + width, at.y + height};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoA(::MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST), &monitor)) {
      return POINT{at.x, at.y};
    }
    const RECT& work = monitor.rcWork;
    const platform::Point in =
        platform::keepInWorkArea(at, width, height, {work.left, work.top, work.right, work.bottom});
    return POINT{in.x, in.y};
  };
  if (!mainWindow_->create(place)) return 1;
  mainWindow_->setQuitOnClose(true);
  languageView_ = std::make_unique<MainWindowLanguageView>(*mainWindow_);
  switchSystem_ = std::make_unique<lang::WindowsSwitchSystem>(
      [this] { return registry_->read64String(registry::kLocalMachine, lang::kInstallPathValue); },
      [this] { return registeredVersions(*registry_); },
      [this](std::string_view token) {
        const Verb verb = token == lang::kEnglishToken ? Verb::SetEnglish : Verb::SetChinese;
        const platform::ElevatedResult run =
            platform::runElevatedAndWait(std::string(argumentsFor(verb)), mainWindow_->hwnd());
        using Run = lang::ElevatedRun;
        if (run.kind == platform::ElevatedResult::Declined) return Run{Run::Declined, 0};
        if (run.kind != platform::ElevatedResult::Ended) return Run{};
        return Run{Run::Ran, static_cast<int>(run.exitCode)};
      });
  switcher_ = std::make_unique<lang::Switcher>(*languageView_, *switchSystem_);
  mainWindow_->onClick(ids::kSwitchButton, [this] {
    // Answers that arrive meanwhile (the version check's, while the elevated
    // step is waited for or its box is up) wait until the click has been
    // handled whole.
    const platform::UiPostHold hold;
    switcher_->toggle();
  });
  // The window runs as the user: the page opens in the user's own browser.
  mainWindow_->onClick(ids::kFeedbackLink, [] { platform::shellOpen(build_config::kFeedbackUrl); });

  onCreated();
  const int code = platform::runMessageLoop();
  shutdown();
  return code;
}

// The window first: placed, titled and showing the language state before
// anything touches the network. The version check then runs in the
// background; its answer comes back to this thread for the compare, the
// prompt and the starter, and the language display runs once more last.
void Program::onCreated() {
  mainWindow_->setTitle("Kelvora v" + mainWindow_->text(ids::kVersionLabel));
  switcher_->showState();
  mainWindow_->show();
  update::checkForUpdate(
      mainWindow_->text(ids::kVersionLabel),
      platform::joinUrl(updateBaseUrl(), update::kVersionFile),
      platform::joinUrl(updateBaseUrl(), update::kExecutableFile), updatePublicKey(),
      [this](const std::string& versionUrl, const std::string& downloadUrl,
             const update::Release& offered) {
        // Where the user may write, the update stays the user's own.
        if (platform::canCreateFilesIn(platform::runDirectory())) {
          return updater_->start(versionUrl, downloadUrl, update::updateFileName(offered.version));
        }
        // Without a key the version file is the server's word alone: nothing
        // it names is installed as administrator.
        if (updatePublicKey().empty()) {
          platform::messageBox(update::kNoElevatedUpdateText, "更新提示",
                               MB_OK | MB_ICONINFORMATION, mainWindow_->hwnd());
          return false;
        }
        return updateElevated(offered);
      },
      [this] {
        switcher_->showState();
        ::SetPropA(mainWindow_->hwnd(), ids::kCheckDoneProperty, reinterpret_cast<HANDLE>(1));
      });
}

bool Program::updateElevated(const update::Release& offered) {
  // The instance fetches, checks and shows its own window; this one only
  // waits for it, painting, and takes no clicks meanwhile.
  // Nothing else runs on this thread until this has been handled whole.
  const platform::UiPostHold hold;
  // Read while this exe is still at its name: the instance renames it.
  const update::Publisher& publisher = update::ownPublisher();
  ::EnableWindow(mainWindow_->hwnd(), FALSE);
  const platform::ElevatedResult result =
      platform::runElevatedAndWait(std::string(argumentsFor(Verb::Update)), mainWindow_->hwnd());
  ::EnableWindow(mainWindow_->hwnd(), TRUE);
  if (result.kind == platform::ElevatedResult::Ended &&
      result.exitCode == update::kUpdateInstalled) {
    // The instance starts nothing: the new version starts here, as the user,
    // and only when it is the file this window was offered.
    const std::string newExe =
        platform::joinPath(platform::runDirectory(), update::updateFileName(offered.version),
                           platform::ansiLeadBytes());
    if (update::startVerified(newExe, {offered.size, offered.sha256}, 1000, publisher)) {
      // At once: the new version is running, and this exe is the old one.
      platform::quitMessageLoop(0);
      return true;
    }
    platform::messageBox(update::kInstalledRestartText, "更新提示", MB_OK | MB_ICONINFORMATION,
                         mainWindow_->hwnd());
    return false;
  }
  if (result.kind == platform::ElevatedResult::Declined) {
    platform::messageBox("没有获得管理员权限，无法更新。", "更新提示", MB_OK | MB_ICONWARNING,
                         mainWindow_->hwnd());
  } else if (result.kind == platform::ElevatedResult::NotStarted) {
    platform::messageBox(kUpdateNotStartedText, "更新提示", MB_OK | MB_ICONERROR,
                         mainWindow_->hwnd());
  }
  // Any other end has been said by the instance itself.
  return false;
}

void Program::shutdown() noexcept {
  if (ended_) return;
  ended_ = true;
  // Answers still on their way (a version check, a download event) are
  // dropped: nothing they would touch outlives this.
  platform::closeUiPost();
  updater_.reset();
  if (downloader_) downloader_->shutdown();
  downloader_.reset();
  switcher_.reset();
  switchSystem_.reset();
  languageView_.reset();
  if (mainWindow_ && mainWindow_->exists())
    ::RemovePropA(mainWindow_->hwnd(), ids::kCheckDoneProperty);
  mainWindow_.reset();
  if (registry_) registry_->destroy();
  registry_.reset();
}

}  // namespace app
