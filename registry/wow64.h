// Scoped switches for the 64-bit registry view: file-system redirection off
// and registry reflection off, each restored when the scope ends.
#pragma once

#include <windows.h>

namespace registry {

// Switches file-system redirection off for the calling thread. A process that
// is not under WOW64 (the 64-bit build) has no redirection: ok() is true.
class RedirectionOff {
 public:
  RedirectionOff() noexcept;
  ~RedirectionOff();
  RedirectionOff(const RedirectionOff&) = delete;
  RedirectionOff& operator=(const RedirectionOff&) = delete;

  bool ok() const noexcept { return ok_; }

  // Redirection back on while code that is not ours runs, and off again.
  void suspend() noexcept;
  void resume() noexcept;

 private:
  PVOID oldValue_ = nullptr;
  bool disabled_ = false;
  bool suspended_ = false;
  bool ok_ = false;
};

// While it lasts, redirection is as the caller had it: around a window
// message handler or a caller's routine, which may load a DLL or open
// System32 and must see the folder a 32-bit program sees. Null: nothing to do.
class RedirectionRestored {
 public:
  explicit RedirectionRestored(RedirectionOff* off) noexcept : off_(off) {
    if (off_) off_->suspend();
  }
  ~RedirectionRestored() {
    if (off_) off_->resume();
  }
  RedirectionRestored(const RedirectionRestored&) = delete;
  RedirectionRestored& operator=(const RedirectionRestored&) = delete;

 private:
  RedirectionOff* off_;
};

// Registry reflection off for one open key while the scope lasts.
class ReflectionOff {
 public:
  explicit ReflectionOff(HKEY key) noexcept : key_(key) {
    if (key_) ::RegDisableReflectionKey(key_);
  }
  ~ReflectionOff() {
    if (key_) ::RegEnableReflectionKey(key_);
  }
  ReflectionOff(const ReflectionOff&) = delete;
  ReflectionOff& operator=(const ReflectionOff&) = delete;

 private:
  HKEY key_;
};

bool isWow64Process() noexcept;

}  // namespace registry
