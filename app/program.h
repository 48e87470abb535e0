// The program's lifetime: start-up in its fixed order, the main window's
// events, and the end-of-program routine. UI thread only.
#pragma once

#include <memory>

#include "lang/switcher.h"
#include "lang/windows_switch_system.h"
#include "platform/download.h"
#include "platform/form.h"
#include "registry/registry_tool.h"
#include "update/updater.h"

namespace app {

class Program {
 public:
  Program() = default;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Runs start-up, the message loop and the end-of-program routine; the
  // result is the process exit code.
  int run();

  // The end-of-program routine: frees every program-wide object, once. Runs
  // after the message loop has ended; registered with atexit as well, where
  // it then finds nothing left to do.
  void shutdown() noexcept;

 private:
  void onCreated();
  // OK on the prompt where the run folder is not the user's to write: the
  // elevated instance downloads the new version and leaves it in place; this
  // window then starts it, as the user, only as `offered` describes it.
  bool updateElevated(const update::Release& offered);

  std::unique_ptr<platform::Downloader> downloader_;
  std::unique_ptr<update::Updater> updater_;
  std::unique_ptr<registry::RegistryTool> registry_;
  std::unique_ptr<platform::Form> mainWindow_;
  std::unique_ptr<lang::LanguageView> languageView_;
  std::unique_ptr<lang::WindowsSwitchSystem> switchSystem_;
  std::unique_ptr<lang::Switcher> switcher_;
  bool ended_ = false;
};

}  // namespace app
