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
  // Runs the elevated step for a token and waits (the program knows its
  // command line; the switch does not).
  using ElevatedStep = std::function<ElevatedRun(std::string_view token)>;
  explicit WindowsSwitchSystem(InstallPathSource readInstallPath, ElevatedStep elevated = {})
      : readInstallPath_(std::move(readInstallPath)), elevated_(std::move(elevated)) {}

  std::string installPath() override {
    return readInstallPath_ ? readInstallPath_() : std::string();
  }
  std::string documentsFolder() override;
  bool fileExists(const std::string& path) override;
  std::optional<std::string> readFile(const std::string& path) override;
  void createEmptyFile(const std::string& path) override;
  void removeFile(const std::string& path) override;
  ReplaceResult replaceFile(const std::string& path, std::string_view bytes) override;
  bool canOpenForWriting(const std::string& path) override;
  ElevatedRun setLanguageElevated(std::string_view token) override {
    return elevated_ ? elevated_(token) : ElevatedRun{};
  }
  void pause(unsigned milliseconds) override;
  const platform::LeadBytes& leadBytes() override;

 private:
  InstallPathSource readInstallPath_;
  ElevatedStep elevated_;
};

}  // namespace lang
