// A fake After Effects CC 2019 installation for tests that start the real
// exe: the registry value in both views, application.xml, the marker in
// Documents; all removed again after each test.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "e2e_driver.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "platform/shell.h"
#include "registry_fixture.h"

namespace e2e {

using testing_support::ScratchKey;

inline constexpr char kAeKey[] = "SOFTWARE\\Adobe\\After Effects\\16.0";

inline void removeTree(const std::string& dir) {
  WIN32_FIND_DATAA data;
  platform::UniqueFind find(::FindFirstFileA((dir + "*").c_str(), &data));
  if (find) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = dir + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(path + "\\");
      } else {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(find.get(), &data));
  }
  find.reset();
  ::RemoveDirectoryA(dir.c_str());
}

class SwitchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static int counter = 0;
    root_ = platform::tempFolder() + "kelvora-e2e-" + std::to_string(::GetCurrentProcessId()) +
            "-" + std::to_string(++counter) + "\\";
    for (const char* sub : {"", "AE\\", "AE\\AMT\\", "work\\", "decoy\\", "decoy\\AMT\\"}) {
      ::CreateDirectoryA((root_ + sub).c_str(), nullptr);
    }
    marker_ = platform::documentsFolder() + "ae_force_english.txt";
    ::DeleteFileA(marker_.c_str());
    key64_ = std::make_unique<ScratchKey>(HKEY_LOCAL_MACHINE, kAeKey, KEY_WOW64_64KEY);
    key32_ = std::make_unique<ScratchKey>(HKEY_LOCAL_MACHINE, kAeKey, KEY_WOW64_32KEY);
  }
  void TearDown() override {
    key64_.reset();
    key32_.reset();
    ::DeleteFileA(marker_.c_str());
    removeTree(root_);
  }

  std::string installDir() const { return root_ + "AE\\"; }
  std::string xmlPath() const { return installDir() + "AMT\\application.xml"; }
  void setInstallPath(ScratchKey& key, const std::string& dir) {
    key.set("", "InstallPath", REG_SZ, dir + std::string(1, '\0'));
  }
  void useInstall(const std::string& xml) {
    setInstallPath(*key64_, installDir());
    ASSERT_TRUE(platform::writeFile(xmlPath(), {xml}));
  }
  void setMarker(bool present) {
    if (present) {
      ASSERT_TRUE(platform::writeFile(marker_, {}));
    } else {
      ::DeleteFileA(marker_.c_str());
    }
  }
  bool markerPresent() const { return platform::fileExists(marker_); }
  std::string xml() const { return platform::readFile(xmlPath()); }

  void start(RunningApp& app) {
    ASSERT_TRUE(app.start(root_ + "work")) << "the main window did not come up";
  }
  static void closeCleanly(RunningApp& app) {
    DWORD code = 1234;
    ASSERT_TRUE(app.close(code));
    EXPECT_EQ(code, 0u);
  }

  std::string root_;
  std::string marker_;
  std::unique_ptr<ScratchKey> key64_;
  std::unique_ptr<ScratchKey> key32_;
};

}  // namespace e2e
