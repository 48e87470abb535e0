#include "support/scratch_key.h"

namespace testing_support {

ScratchKey::ScratchKey(HKEY root, std::string path, REGSAM view)
    : root_(root), path_(std::move(path)), view_(view) {
  remove();
  ::RegCreateKeyExA(root_, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                    key_.put(), nullptr);
}

ScratchKey::~ScratchKey() {
  key_.reset();
  remove();
}

platform::UniqueKey ScratchKey::create(const std::string& sub) {
  platform::UniqueKey key;
  ::RegCreateKeyExA(key_.get(), sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr,
                    key.put(), nullptr);
  return key;
}

void ScratchKey::set(const std::string& sub, const std::string& name, DWORD type,
                     const std::string& data) {
  ::RegSetValueExA(create(sub).get(), name.empty() ? nullptr : name.c_str(), 0, type,
                   reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
}

void ScratchKey::makeKey(const std::string& sub) {
  create(sub);
}

void ScratchKey::remove() {
  platform::UniqueKey key;
  if (::RegOpenKeyExA(root_, path_.c_str(), 0, KEY_ALL_ACCESS | view_, key.put()) ==
      ERROR_SUCCESS) {
    ::RegDeleteTreeA(key.get(), nullptr);
    key.reset();
    ::RegDeleteKeyExA(root_, path_.c_str(), view_, 0);
  }
}

std::string uniqueName(const char* stem) {
  return std::string(stem) + "-" + std::to_string(::GetCurrentProcessId());
}

bool keyExists(HKEY root, const std::string& path, REGSAM view) {
  platform::UniqueKey key;
  return ::RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) == ERROR_SUCCESS;
}

}  // namespace testing_support
