// A fake After Effects CC 2019 installation for tests that start the real
// exe: the registry value in both views, application.xml, the marker in
// Documents; all removed again after each test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/shell.h"
#include "support/e2e_driver.h"
#include "support/paths.h"
#include "support/scratch_key.h"

namespace testing_support {

inline constexpr char kAeKey[] = "SOFTWARE\\Adobe\\After Effects\\16.0";

class SwitchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::make_unique<testing_support::TempFolder>("kelvora-e2e");
    for (const char* sub : {"AE", "AE\\AMT", "work", "decoy", "decoy\\AMT"}) {
      ::CreateDirectoryA((*root_ / sub).c_str(), nullptr);
    }
    marker_ = platform::documentsFolder() + "ae_force_english.txt";
    ::DeleteFileA(marker_.c_str());
    keys_ = std::make_unique<testing_support::ScratchKeys>(kAeKey);
  }
  void TearDown() override {
    versionKeys_.clear();
    keys_.reset();
    ::DeleteFileA(marker_.c_str());
    root_.reset();
  }

  std::string installDir() const { return *root_ / "AE\\"; }
  std::string xmlPath() const { return installDir() + "AMT\\application.xml"; }
  void setInstallPath(testing_support::ScratchKey& key, const std::string& dir) {
    key.set("", "InstallPath", REG_SZ, dir + std::string(1, '\0'));
  }
  void useInstall(const std::string& xml) {
    setInstallPath(keys_->view64, installDir());
    ASSERT_TRUE(platform::writeFile(xmlPath(), {xml}));
  }
  void setMarker(bool present) {
    if (present) {
      ASSERT_TRUE(platform::writeFile(marker_, {}));
    } else {
      ::DeleteFileA(marker_.c_str());
    }
  }
  // One more version, registered under `key` ("24.0") in `view` alone
  // (KEY_WOW64_64KEY or KEY_WOW64_32KEY), its InstallPath the folder
  // `folder` below the test's root + `below` ("Support Files\" or nothing),
  // its application.xml holding `xml` in folder\Support Files\AMT. Returns
  // that file's path.
  std::string addVersion(const std::string& key, REGSAM view, const std::string& folder,
                         const std::string& below, const std::string& xml) {
    const std::string base = *root_ / folder;
    for (const char* sub : {"", "\\Support Files", "\\Support Files\\AMT"}) {
      ::CreateDirectoryA((base + sub).c_str(), nullptr);
    }
    auto scratch = std::make_unique<testing_support::ScratchKey>(
        HKEY_LOCAL_MACHINE, "SOFTWARE\\Adobe\\After Effects\\" + key, view);
    setInstallPath(*scratch, base + "\\" + below);
    versionKeys_.push_back(std::move(scratch));
    const std::string path = base + "\\Support Files\\AMT\\application.xml";
    EXPECT_TRUE(platform::writeFile(path, {xml}));
    return path;
  }
  bool markerPresent() const { return platform::fileExists(marker_); }
  std::string xml() const { return platform::readFile(xmlPath()); }

  // Starts the program in a working folder of its own.
  void start(RunningApp& app) {
    ASSERT_TRUE(app.start(*root_ / "work")) << "the main window did not come up";
  }
  // The same with this application.xml and the marker present or not.
  void startWith(RunningApp& app, const std::string& xml, bool marker) {
    useInstall(xml);
    setMarker(marker);
    start(app);
  }

  std::unique_ptr<testing_support::TempFolder> root_;
  std::string marker_;
  std::unique_ptr<testing_support::ScratchKeys> keys_;
  std::vector<std::unique_ptr<testing_support::ScratchKey>> versionKeys_;
};

}  // namespace testing_support
