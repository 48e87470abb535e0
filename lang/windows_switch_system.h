// The language switch's system on Windows: the 64-bit registry view for the
// install path, Documents from the shell, files created and removed in
// place. UI thread.
#pragma once

#include <functional>

#include "lang/switch_system.h"

namespace lang {

// `readInstallPath` reads the install path (the program hands in the
// registry toolkit's 64-bit read); the switch knows no registry of its own.
class WindowsSwitchSystem final : public SwitchSystem {
 public:
  using InstallPathSource = std::function<std::string()>;
  explicit WindowsSwitchSystem(InstallPathSource readInstallPath)
      : readInstallPath_(std::move(readInstallPath)) {}

  std::string installPath() override {
    return readInstallPath_ ? readInstallPath_() : std::string();
  }
  std::string documentsFolder() override;
  bool fileExists(const std::string& path) override;
  std::optional<std::string> readFile(const std::string& path) override;
  void createEmptyFile(const std::string& path) override;
  void removeFile(const std::string& path) override;
  bool replaceFile(const std::string& path, std::string_view bytes) override;
  void pause(unsigned milliseconds) override;
  const platform::LeadBytes& leadBytes() override;

 private:
  InstallPathSource readInstallPath_;
};

}  // namespace lang
