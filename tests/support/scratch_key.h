// Scratch registry keys for the tests: each test makes its own key tree and
// removes it, in whichever view it was made.
#pragma once

#include <windows.h>

#include <string>

#include "platform/handles.h"

namespace testing_support {

class ScratchKey {
 public:
  // `view` is 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY. Any key left at the
  // path by an earlier run goes first.
  ScratchKey(HKEY root, std::string path, REGSAM view = 0);
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  HKEY get() const { return key_.get(); }
  const std::string& path() const { return path_; }

  // Makes `sub` (relative, may be nested; empty: this key) and sets one value in it.
  void set(const std::string& sub, const std::string& name, DWORD type, const std::string& data);
  void makeKey(const std::string& sub);

 private:
  platform::UniqueKey create(const std::string& sub);
  void remove();

  HKEY root_;
  std::string path_;
  REGSAM view_;
  platform::UniqueKey key_;
};

// The same path under HKEY_LOCAL_MACHINE in both registry views.
struct ScratchKeys {
  explicit ScratchKeys(std::string path)
      : view64(HKEY_LOCAL_MACHINE, path, KEY_WOW64_64KEY),
        view32(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY) {}
  const std::string& path() const { return view64.path(); }

  ScratchKey view64;
  ScratchKey view32;
};

// `stem` made unique to this test process.
std::string uniqueName(const char* stem);

// True when `path` under `root` exists in the given view.
bool keyExists(HKEY root, const std::string& path, REGSAM view);

}  // namespace testing_support
