// Scratch registry keys for the tests: each test makes its own key tree and
// removes it, in whichever view it was made.
#pragma once

#include <windows.h>

#include <string>

#include "registry/key.h"

namespace testing_support {

class ScratchKey {
 public:
  // `view` is 0, KEY_WOW64_32KEY or KEY_WOW64_64KEY.
  ScratchKey(HKEY root, std::string path, REGSAM view = 0)
      : root_(root), path_(std::move(path)), view_(view) {
    remove();
    ::RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                      key_.put(), nullptr);
  }
  ~ScratchKey() {
    key_.reset();
    remove();
  }
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;

  HKEY get() const { return key_.get(); }
  const std::string& path() const { return path_; }

  // Makes `sub` (relative, may be nested) and sets one value in it.
  void set(const std::string& sub, const std::string& name, DWORD type, const std::string& data) {
    registry::UniqueKey key;
    ::RegCreateKeyExA(key_.get(), sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                      key.put(), nullptr);
    ::RegSetValueExA(key.get(), name.empty() ? nullptr : name.c_str(), 0, type,
                     reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  }
  void makeKey(const std::string& sub) {
    registry::UniqueKey key;
    ::RegCreateKeyExA(key_.get(), sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                      key.put(), nullptr);
  }

 private:
  void remove() {
    registry::UniqueKey key;
    if (::RegOpenKeyExA(root_, path_.c_str(), 0, KEY_ALL_ACCESS | view_, key.put()) ==
        ERROR_SUCCESS) {
      ::RegDeleteTreeA(key.get(), nullptr);
      key.reset();
      ::RegDeleteKeyExA(root_, path_.c_str(), view_, 0);
    }
  }

  HKEY root_;
  std::string path_;
  REGSAM view_;
  registry::UniqueKey key_;
};

inline std::string uniqueName(const char* stem) {
  return std::string(stem) + "-" + std::to_string(::GetCurrentProcessId());
}

// True when `path` under HKLM exists in the given view.
inline bool keyExists(HKEY root, const std::string& path, REGSAM view) {
  registry::UniqueKey key;
  return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) == ERROR_SUCCESS;
}

}  // namespace testing_support
