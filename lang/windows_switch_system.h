// The language switch's system on Windows: the 64-bit registry view for the
// install paths, Documents from the shell, files created and removed in
// place, application.xml read only up to its size cap, a process snapshot
// for After Effects. UI thread.
#pragma once

#include <functional>

#include "lang/switch_system.h"
#include "platform/files.h"

namespace lang {

// `readInstallPath` reads CC 2019's install path and `listVersions` every
// version key with its InstallPath (the program hands in the registry
// toolkit's 64-bit reads); the switch knows no registry of its own.
// With Links::Refuse (what runs as administrator), a file is read only
// through a path with no link on the way, and its folder stays held from the
// read until this object goes: what is replaced is in the folder that was
// read, and nothing is read or replaced through a link.
class WindowsSwitchSystem final : public SwitchSystem {
 public:
  using InstallPathSource = std::function<std::string()>;
  using VersionsSource = std::function<std::vector<RegisteredVersion>()>;
  // Runs the elevated step for a token and waits (the program knows its
  // command line; the switch does not).
  using ElevatedStep = std::function<ElevatedRun(std::string_view token)>;
  WindowsSwitchSystem(InstallPathSource readInstallPath, VersionsSource listVersions,
                      ElevatedStep elevated = {}, platform::Links links = platform::Links::Follow)
      : readInstallPath_(std::move(readInstallPath)),
        listVersions_(std::move(listVersions)),
        elevated_(std::move(elevated)),
        links_(links) {}

  std::string installPath() override {
    return readInstallPath_ ? readInstallPath_() : std::string();
  }
  std::vector<RegisteredVersion> registeredVersions() override {
    return listVersions_ ? listVersions_() : std::vector<RegisteredVersion>();
  }
  std::string documentsFolder() override;
  bool fileExists(const std::string& path) override;
  std::optional<std::string> readFile(const std::string& path) override;
  bool isOversized(const std::string& path) override;
  void createEmptyFile(const std::string& path) override;
  void removeFile(const std::string& path) override;
  ReplaceResult replaceFile(const std::string& path, std::string_view bytes) override;
  bool canOpenForWriting(const std::string& path) override;
  ElevatedRun setLanguageElevated(std::string_view token) override {
    return elevated_ ? elevated_(token) : ElevatedRun{};
  }
  void pause(unsigned milliseconds) override;
  const platform::LeadBytes& leadBytes() override;
  bool afterEffectsRunning() override;

 private:
  InstallPathSource readInstallPath_;
  VersionsSource listVersions_;
  ElevatedStep elevated_;
  platform::Links links_;
  platform::UniqueFile heldFolder_;  // Links::Refuse: the last file read's folder
};

}  // namespace lang
